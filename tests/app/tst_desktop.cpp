// The tray icon and the notices as a desktop sees them: the program on a real Wayland compositor
// (weston) with a panel and a notification service on a private session bus
// (tests/support/desktop_double.py). Run through tests/support/desktop_session.sh.
#include "app/AppAssembly.h"
#include "app/MainWindow.h"
#include "app/TrayController.h"
#include "store/Backup.h"
#include "store/Database.h"
#include "support/CardBuilder.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/MessageBox.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
// The compositor, the bus and the panel answer in their own time: generous waits, never a
// figure the test depends on.
constexpr int kWait = 30000;

struct Shell
{
    TempHome home;
    bool prepared;
    AppContext context{home.home()};
    AppAssembly assembly;
    MainWindow& window = assembly.window();
    TrayController& tray = assembly.tray();

    // `prepare` fills the home folder before the program opens it.
    explicit Shell(const std::function<void(const TempHome&)>& prepare = {})
        : prepared([&] {
              if (prepare)
                  prepare(home);
              return true;
          }()),
          assembly(context, {.openDatabase = bool(prepare), .withLogin = false})
    {}
    // The title bar's own minimize button, as the window's decoration asks for it.
    void minimizeButton() { window.windowHandle()->setWindowState(Qt::WindowMinimized); }
};
} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void iconMadeWhenPanelComesLate();
    void startInTrayBeforePanel();
    void activateRestores();
    void hideNoticeIsTransientWithIconAndEntry();
    void backupFailureReachesUser();

private:
    void startPanel();
    QList<QJsonObject> logged(const QString& event) const;

    QTemporaryDir m_dir;
    QString m_log;
    std::unique_ptr<QProcess> m_panel;
};

void TestDesktop::initTestCase()
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ||
        !QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a Wayland compositor and a private session bus: run through desktop_session.sh");
    QVERIFY2(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
                 QLatin1String(TrayController::kWatcherService)),
             "the session bus must be a private one without a panel");
    m_log = m_dir.filePath(QStringLiteral("panel.log"));
}

void TestDesktop::init()
{
    MessageBox::clearShownTexts();
    MessageBox::setSuppressAll(true);
}

void TestDesktop::cleanupTestCase()
{
    if (m_panel) {
        m_panel->kill();
        m_panel->waitForFinished();
    }
}

void TestDesktop::startPanel()
{
    m_panel = std::make_unique<QProcess>();
    m_panel->setProcessChannelMode(QProcess::ForwardedChannels);
    m_panel->start(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral(VELMORA_TEST_SUPPORT_DIR "/desktop_double.py"), m_log});
    QVERIFY(m_panel->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!logged(QStringLiteral("ready")).isEmpty(), kWait);
}

QList<QJsonObject> TestDesktop::logged(const QString& event) const
{
    QList<QJsonObject> records;
    QFile file(m_log);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (record.value(QStringLiteral("event")).toString() == event)
            records << record;
    }
    return records;
}

// The program started before the panel (autostart at login): its icon comes with the panel.
void TestDesktop::iconMadeWhenPanelComesLate()
{
    Shell s;
    QSignalSpy made(&s.tray, &TrayController::iconMade);
    s.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s.window, kWait));
    QVERIFY(!s.tray.trayAvailable());

    startPanel();
    QTRY_COMPARE_WITH_TIMEOUT(made.count(), 1, kWait);
    QVERIFY(s.tray.trayAvailable());
    QVERIFY(s.tray.onStatusNotifierHost());
    s.minimizeButton();
    QTRY_VERIFY_WITH_TIMEOUT(s.window.isHiddenToTray(), kWait);
    QVERIFY(!s.window.isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(logged(QStringLiteral("item")).size(), 1, kWait); // the icon is on the panel
}

// Started for the tray at login before the panel: the window is shown meanwhile and goes to the
// tray when the panel comes. (Runs while the panel is up: its watcher is taken down first.)
void TestDesktop::startInTrayBeforePanel()
{
    QVERIFY(m_panel);
    m_panel->kill();
    m_panel->waitForFinished();
    QTRY_VERIFY_WITH_TIMEOUT(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
                                 QLatin1String(TrayController::kWatcherService)),
                             kWait);
    Shell s;
    QSignalSpy minimized(&s.window, &MainWindow::minimized);
    s.window.startInTray();
    QVERIFY(s.window.isVisible()); // no notification area yet: it cannot be stranded
    startPanel();
    QTRY_VERIFY_WITH_TIMEOUT(s.window.isHiddenToTray(), kWait);
    QVERIFY(!s.window.isVisible());
    QCOMPARE(minimized.count(), 1);
}

// A left click on such a panel is an Activate: it brings the window back, it opens no menu.
void TestDesktop::activateRestores()
{
    QVERIFY(m_panel);
    const qsizetype itemsBefore = logged(QStringLiteral("item")).size(); // of earlier tests
    Shell s;
    QSignalSpy minimized(&s.window, &MainWindow::minimized);
    s.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s.window, kWait));
    s.minimizeButton();
    QTRY_VERIFY_WITH_TIMEOUT(s.window.isHiddenToTray(), kWait);
    QCOMPARE(minimized.count(), 1); // the day's mail check
    QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("item")).size() > itemsBefore, kWait);
    const QString item = logged(QStringLiteral("item")).last().value(QStringLiteral("service")).toString();

    QProcess::execute(QStringLiteral("dbus-send"),
                      {QStringLiteral("--session"), QStringLiteral("--type=method_call"),
                       QStringLiteral("--dest=") + item, QStringLiteral("/StatusNotifierItem"),
                       QStringLiteral("org.kde.StatusNotifierItem.Activate"), QStringLiteral("int32:0"),
                       QStringLiteral("int32:0")});
    QTRY_VERIFY_WITH_TIMEOUT(s.window.isVisible(), kWait);
    QVERIFY(!s.window.isHiddenToTray());
    QVERIFY(QTest::qWaitForWindowExposed(&s.window, kWait));
    QVERIFY(!s.tray.menu()->isVisible());
}

void TestDesktop::hideNoticeIsTransientWithIconAndEntry()
{
    QVERIFY(m_panel);
    const qsizetype before = logged(QStringLiteral("notice")).size();
    Shell s;
    s.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s.window, kWait));
    for (int hide = 0; hide < 2; ++hide) {
        s.minimizeButton();
        QTRY_VERIFY_WITH_TIMEOUT(s.window.isHiddenToTray(), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(logged(QStringLiteral("notice")).size(), before + hide + 1, kWait);
        s.window.restore(MainWindow::Restore::Menu);
        QVERIFY(QTest::qWaitForWindowExposed(&s.window, kWait));
    }
    const QList<QJsonObject> notices = logged(QStringLiteral("notice")).mid(before);
    for (const QJsonObject& notice : notices) {
        QCOMPARE(notice.value("summary").toString(), QStringLiteral("温馨提示:"));
        QCOMPARE(notice.value("body").toString(), QStringLiteral("Velmora正在运行中....."));
        QCOMPARE(notice.value("app_name").toString(), QStringLiteral("Velmora"));
        QCOMPARE(notice.value("app_icon").toString(), QStringLiteral("velmora"));
        const QJsonObject hints = notice.value("hints").toObject();
        QCOMPARE(hints.value("desktop-entry").toString(), QStringLiteral("velmora"));
        QCOMPARE(hints.value("transient").toBool(), true);
        QCOMPARE(notice.value("timeout").toInt(), 10000);
    }
    // The second takes the place of the first: one entry, however often the window hides.
    QCOMPARE(notices[1].value("replaces_id").toInt(), notices[0].value("id").toInt());
}

void TestDesktop::backupFailureReachesUser()
{
    QVERIFY(m_panel);
    const qsizetype before = logged(QStringLiteral("notice")).size();
    Shell s([](const TempHome& home) {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("甲").statementDay(5).repaymentDay(25).insert();
        QFile blocker(Backup::folderFor(home.databasePath())); // a file where the folder belongs
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    });
    s.window.show(); // the icon is not shown yet: a balloon would be lost
    QVERIFY(!s.tray.isIconShown());
    QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("notice")).size() > before, kWait);
    const QJsonObject notice = logged(QStringLiteral("notice")).at(before);
    QVERIFY2(notice.value("body").toString().contains(QStringLiteral("今日数据库备份失败")),
             qPrintable(notice.value("body").toString()));
    QVERIFY(!notice.value("hints").toObject().value("transient").toBool()); // it stays listed
    QVERIFY(MessageBox::shownTexts().isEmpty());                            // told once, by the notice
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
