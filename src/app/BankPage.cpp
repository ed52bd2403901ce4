#include "app/BankPage.h"

#include "store/Gbk.h"
#include "ui/AppContext.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QVBoxLayout>

BankPage::BankPage(AppContext& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("bankPage"));
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("bankPhoneList"));
    m_browser->setAccessibleName(QStringLiteral("银行网站及电话列表"));
    m_browser->setOpenLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &BankPage::openLink);
}

QString BankPage::decodeHtml(const QByteArray& bytes)
{
    // A page saved by an older version may be in code page 936 and say so in its meta tag.
    static const QRegularExpression charset(
        QStringLiteral("charset\\s*=\\s*[\"']?\\s*(gb2312|gbk|gb18030|cp936)"),
        QRegularExpression::CaseInsensitiveOption);
    const QString head = QString::fromLatin1(bytes.left(1024));
    if (charset.match(head).hasMatch())
        return Gbk::decode(bytes);
    return QString::fromUtf8(bytes);
}

void BankPage::showEvent(QShowEvent* event)
{
    if (!m_loaded)
        load();
    QWidget::showEvent(event);
}

void BankPage::load()
{
    m_loaded = true;
    const QString path = m_context.home.shippedFile(QStringLiteral("3.html"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_browser->setHtml(QStringLiteral("<p>无法打开页面 %1</p>").arg(path.toHtmlEscaped()));
        return;
    }
    // Relative links and pictures in the page are found beside it.
    const QString dir = QFileInfo(path).absolutePath();
    m_browser->setSearchPaths({dir});
    m_browser->document()->setBaseUrl(path.startsWith(u':') ? QUrl(QStringLiteral("qrc:/"))
                                                            : QUrl::fromLocalFile(dir + u'/'));
    m_browser->setHtml(decodeHtml(file.readAll()));
}

void BankPage::openLink(const QUrl& url)
{
    if (url.scheme().isEmpty() && url.path().isEmpty() && url.hasFragment()) {
        m_browser->scrollToAnchor(url.fragment());
        return;
    }
    // Web sites, mail and telephone links go to the desktop's handlers; the program ignores the outcome.
    QDesktopServices::openUrl(url);
}
