#include "app/BankPage.h"
#include "app/PromoPage.h"
#include "store/Gbk.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/Contrast.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTextBrowser>
#include <QtTest>

// Stands in for the desktop's browser.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class TestWebPages : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void bankPageShowsShippedPage();
    void bankPagePrefersHomeCopy();
    void unreadablePageShowsNotice();
    void promoPictureOpensApplicationPage();

private:
    UrlCatcher m_browser;
};

void TestWebPages::init()
{
    m_browser.opened.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_browser, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_browser, "open");
}

void TestWebPages::cleanup()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

void TestWebPages::bankPageShowsShippedPage()
{
    TempHome home;
    AppContext context(home.home());
    BankPage page(context);
    page.show(); // read when the tab is first shown
    QTextBrowser* view = page.findChild<QTextBrowser*>(QStringLiteral("bankPhoneList"));
    const QString text = view->toPlainText();
    for (const char* bank : {"中国工商银行", "中国建设银行", "招商银行", "95588"})
        QVERIFY2(text.contains(QString::fromUtf8(bank)), bank);
    emit view->anchorClicked(QUrl(QStringLiteral("https://www.icbc.com.cn/")));
    QCOMPARE(m_browser.opened, QList<QUrl>{QUrl(QStringLiteral("https://www.icbc.com.cn/"))});
    QCOMPARE(view->source(), QUrl()); // the view itself never navigates away
}

void TestWebPages::bankPagePrefersHomeCopy()
{
    TempHome home;
    QFile file(QDir(home.path()).filePath(QStringLiteral("3.html")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Gbk::encode(QStringLiteral(
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"></head>"
        "<body>本地银行页面</body></html>")));
    file.close();
    AppContext context(home.home());
    BankPage page(context);
    page.load();
    QCOMPARE(page.browser()->toPlainText().trimmed(), QStringLiteral("本地银行页面"));
}

void TestWebPages::unreadablePageShowsNotice()
{
    TempHome home;
    QVERIFY(QDir(home.path()).mkdir(QStringLiteral("3.html"))); // there, but no readable file
    AppContext context(home.home());
    BankPage page(context);
    page.load();
    QVERIFY(page.browser()->toPlainText().startsWith(QStringLiteral("无法打开页面")));
}

void TestWebPages::promoPictureOpensApplicationPage()
{
    TempHome home;
    AppContext context(home.home());
    PromoPage page(context);
    page.resize(400, 300);
    page.show();
    auto* picture = page.findChild<QLabel*>(QStringLiteral("promoPicture"));
    QCOMPARE(picture->pixmap().size(), QSize(1024, 842)); // decoded from the JPEG as the tab shows
    QVERIFY(picture->hasScaledContents());
    QCOMPARE(picture->size(), QSize(177, 153));
    QCOMPARE(picture->cursor().shape(), Qt::PointingHandCursor);

    auto* caption = page.findChild<QLabel*>(QStringLiteral("promoCaption"));
    QCOMPARE(caption->text(), QStringLiteral("最快当天下卡"));
    // Red, darkened or lightened until it reads at 4.5:1 on the window.
    const QColor text = caption->palette().color(QPalette::WindowText);
    QCOMPARE(text.hslHue(), 0);
    QVERIFY(text.hslSaturation() > 200);
    QVERIFY(Contrast::ratio(text, caption->palette().color(QPalette::Window)) >= 4.5);
    QTest::mouseClick(caption, Qt::LeftButton);
    QVERIFY(m_browser.opened.isEmpty()); // the caption does nothing

    QTest::mouseClick(picture, Qt::LeftButton);
    QCOMPARE(m_browser.opened, QList<QUrl>{PromoPage::kApplicationPage});
}

QTEST_MAIN(TestWebPages)
#include "tst_webpages.moc"
