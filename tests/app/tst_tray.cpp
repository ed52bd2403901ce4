#include "app/AppAssembly.h"
#include "app/Autostart.h"
#include "app/MainWindow.h"
#include "app/TrayController.h"
#include "remind/ReminderWindow.h"
#include "store/Backup.h"
#include "store/Clock.h"
#include "store/Database.h"
#include "support/CardBuilder.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/LoopTimer.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QTextBrowser>
#include <QWindow>
#include <QtTest>

namespace {
// A timer's tick, at once.
void tick(QTimer& timer)
{
    QMetaObject::invokeMethod(&timer, "timeout");
}

// A shown main window whose tray controller behaves as on a desktop with a notification area
// (or without one), with the signals the window raises recorded. No login: the gate leaves the
// card tab as it is.
struct Shell
{
    TempHome home;
    AppContext context{home.home()};
    AppAssembly assembly{context, {.openDatabase = false, .withLogin = false}};
    MainWindow& window = assembly.window();
    TrayController& tray = assembly.tray();
    QSignalSpy minimized{&window, &MainWindow::minimized};
    QSignalSpy balloons{&window, &MainWindow::balloonShown};

    explicit Shell(bool trayAvailable = true)
    {
        tray.overrideTrayAvailable(trayAvailable);
        window.show();
    }
    QAction* item(const char* name) const { return tray.menu()->findChild<QAction*>(QLatin1String(name)); }
    void minimizeButton() { window.setWindowState(window.windowState() | Qt::WindowMinimized); }
    // The title bar's own button where the window draws it (Wayland): the native window only.
    void titleBarMinimizeButton() { window.windowHandle()->setWindowState(Qt::WindowMinimized); }
    void click(QSystemTrayIcon::ActivationReason reason) { emit tray.icon()->activated(reason); }
    // Restores asked for by the icon or a timer run from the event loop: let them.
    void settle() { QCoreApplication::sendPostedEvents(&window, QEvent::MetaCall); }
    void doubleClick()
    {
        if (tray.icon())
            click(QSystemTrayIcon::DoubleClick);
        else
            emit tray.restoreAsked(); // the icon waits for a notification area to appear
        settle();
    }
    void showItem() // "显示主界面"
    {
        item("showMainAction")->trigger();
        settle();
    }
};
} // namespace

class TestTray : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void iconAndMenu();
    void hides_data();
    void hides();
    void restores_data();
    void restores();
    void leftClickWaitsForDoubleClick_data();
    void leftClickWaitsForDoubleClick();
    void minimizeNotificationOncePerHide();
    void timerSemantics();
    void exitAsksFirst();
    void exitQuestionNotUnderReminder();
    void autostartItemRemovesEntry();
    void autostartEntryCarriesHome_data();
    void autostartEntryCarriesHome();
    void withoutTrayWindowIsMinimizedNotLost();
    void secondStartBringsWindowForward();
    void aboutAndHelp();
    void autostartItemOnlyWhileOn();
    void autostartEntryStartsAfterPanel();
    void backupFailureReachesUser();
    void reminderAboveMainWindow();
    void startInTray_data();
    void startInTray();
};

void TestTray::init()
{
    MessageBox::clearShownTexts();
    MessageBox::setSuppressAll(true);
}

void TestTray::iconAndMenu()
{
    Shell s;
    if (!s.tray.icon())
        QSKIP("no notification area on this desktop yet: the icon is made when one appears");
    QCOMPARE(s.tray.icon()->toolTip(), QStringLiteral("Velmora"));
    QVERIFY(!s.tray.icon()->isVisible()); // absent until the first hide
    QStringList names, texts;
    for (QAction* action : s.tray.menu()->actions()) {
        names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
        texts << action->text();
    }
    QCOMPARE(s.tray.menu()->objectName(), QStringLiteral("trayMenu"));
    QCOMPARE(names, QStringList({"showMainAction", "aboutAction", "autostartOffAction", "helpAction", "-",
                                 "exitAction"}));
    QCOMPARE(texts, QStringList({"显示主界面", "关于软件", "关闭开机启动", "使用帮助", "", "退出软件"}));
    for (int size : {16, 32, 48})
        QCOMPARE(s.tray.icon()->icon().pixmap(size).size(), QSize(size, size));

    s.minimizeButton();
    QTRY_VERIFY(!s.window.isVisible());
    QVERIFY(s.tray.icon()->isVisible());
    s.doubleClick();
    QVERIFY(s.window.isVisible());
    QVERIFY(s.tray.icon()->isVisible()); // stays once shown
}

void TestTray::hides_data()
{
    // clang-format off
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("balloon");
    QTest::addColumn<bool>("autoMinimizeRunsOn");
    QTest::newRow("minimize button") << "minimize" << true  << true;
    QTest::newRow("title bar button") << "native"  << true  << true;
    QTest::newRow("close box")       << "close"    << true  << false;
    QTest::newRow("auto-minimize tick")     << "timer2"   << false << false;
    // clang-format on
}

void TestTray::hides()
{
    QFETCH(QString, how);
    QFETCH(bool, balloon);
    QFETCH(bool, autoMinimizeRunsOn);
    Shell s;
    s.window.autoMinimizeTimer().setInterval(5 * 60000);
    s.window.autoMinimizeTimer().start();
    if (how == u"minimize")
        s.minimizeButton();
    else if (how == u"native")
        s.titleBarMinimizeButton();
    else if (how == u"close")
        QVERIFY(!s.window.close());
    else
        tick(s.window.autoMinimizeTimer());
    QTRY_VERIFY(s.window.isHiddenToTray());
    QVERIFY(!s.window.isVisible());
    QVERIFY(s.tray.isIconShown());
    QCOMPARE(s.minimized.count(), 1); // the day's mail check
    QCOMPARE(s.window.autoMinimizeTimer().isActive(), autoMinimizeRunsOn);
    QCOMPARE(s.balloons.count(), balloon ? 1 : 0);
    if (balloon) {
        const QList<QVariant> args = s.balloons.first();
        QCOMPARE(args[0].toString(), QStringLiteral("温馨提示:"));
        QCOMPARE(args[1].toString(), QStringLiteral("Velmora正在运行中....."));
        QCOMPARE(args[2].toInt(), 10000);
    }
    QVERIFY(MessageBox::shownTexts().isEmpty()); // the program keeps running
}

void TestTray::restores_data()
{
    // clang-format off
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("stillMaximized");
    QTest::addColumn<bool>("cardTabVisible"); // with password protection on
    QTest::addColumn<bool>("snoozeRunsOn");
    QTest::newRow("double click")    << "double click" << true  << false << true;
    QTest::newRow("menu 显示主界面") << "menu"         << false << false << true;
    QTest::newRow("snooze tick")     << "timer1"       << false << true  << false;
    // clang-format on
}

void TestTray::restores()
{
    QFETCH(QString, how);
    QFETCH(bool, stillMaximized);
    QFETCH(bool, cardTabVisible);
    QFETCH(bool, snoozeRunsOn);
    Shell s;
    s.window.setWindowState(Qt::WindowMaximized);
    s.window.state().pwdProtect = true; // no login dialog is attached: the gate leaves the tab as it is
    s.window.hideToTray();
    QVERIFY(!s.window.isVisible());
    LoopTimer::arm(s.window.snoozeTimer(), 3600000);
    s.window.state().refreshed = false; // as after the reminder window closed

    if (how == u"double click")
        s.doubleClick();
    else if (how == u"menu")
        s.item("showMainAction")->trigger();
    else
        tick(s.window.snoozeTimer());
    s.settle();

    QVERIFY(s.window.isVisible());
    QVERIFY(!s.window.isHiddenToTray());
    QCOMPARE(s.window.isMaximized(), stillMaximized);
    QCOMPARE(s.window.isCardTabVisible(), cardTabVisible);
    QCOMPARE(s.window.snoozeTimer().isActive(), snoozeRunsOn);
    QVERIFY(s.window.state().refreshed); // the show handling ran
}

// What reaches the icon, in order ("L" left press, "D" double click, "R" right press), and
// whether the left button's menu opens and the window comes back.
void TestTray::leftClickWaitsForDoubleClick_data()
{
    // clang-format off
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<bool>("menuOpens");
    QTest::addColumn<bool>("restored");
    QTest::newRow("single left click")            << "L"  << true  << false;
    QTest::newRow("double click")                 << "LD" << false << true;
    QTest::newRow("right click after a left one") << "LR" << false << false;
    // clang-format on
}

void TestTray::leftClickWaitsForDoubleClick()
{
    QFETCH(QString, clicks);
    QFETCH(bool, menuOpens);
    QFETCH(bool, restored);
    Shell s;
    if (!s.tray.icon() || s.tray.onStatusNotifierHost())
        QSKIP("clicks of an embedded tray only");
    s.window.hideToTray();
    auto* wait = s.tray.findChild<QTimer*>(QStringLiteral("LeftClickMenuTimer"));
    QVERIFY(wait);
    for (const QChar c : clicks) {
        s.click(c == u'L'   ? QSystemTrayIcon::Trigger
                : c == u'D' ? QSystemTrayIcon::DoubleClick
                            : QSystemTrayIcon::Context);
        if (c == u'L') {
            // Not at once: an open menu grabs the pointer and would swallow the second click.
            QVERIFY(!s.tray.menu()->isVisible());
            QVERIFY(wait->isActive());
            QCOMPARE(wait->interval(), QGuiApplication::styleHints()->mouseDoubleClickInterval());
        }
    }
    s.settle();
    if (menuOpens) {
        QTRY_VERIFY(s.tray.menu()->isVisible());
        s.tray.menu()->hide();
    } else {
        QVERIFY(!wait->isActive()); // nothing left to open it
        QVERIFY(!s.tray.menu()->isVisible());
    }
    QCOMPARE(s.window.isVisible(), restored);
}

void TestTray::minimizeNotificationOncePerHide()
{
    Shell s;
    s.minimizeButton();
    QTRY_VERIFY(s.window.isHiddenToTray());
    tick(s.window.autoMinimizeTimer()); // a tick while hidden: nothing new
    s.window.hideByCommand();           // nor a second command
    QCOMPARE(s.minimized.count(), 1);
    s.doubleClick();
    s.window.close();
    s.showItem();
    tick(s.window.autoMinimizeTimer());
    QCOMPARE(s.minimized.count(), 3);

    // A double click or the menu while the window is shown runs no show handling and hides
    // nothing: the card tab only goes under protection.
    s.showItem();
    s.window.state().pwdProtect = true;
    s.window.state().refreshed = false;
    s.doubleClick();
    QVERIFY(!s.window.isCardTabVisible());
    QVERIFY(!s.window.state().refreshed);
    QCOMPARE(s.minimized.count(), 3);
}

void TestTray::timerSemantics()
{
    QTimer timer;
    LoopTimer::arm(timer, 60000);
    QVERIFY(timer.isActive());
    QTRY_VERIFY(timer.remainingTime() < 60000 - 20); // counting down
    const int before = timer.remainingTime();
    LoopTimer::enable(timer); // running: the countdown goes on
    QVERIFY(timer.remainingTime() <= before);
    LoopTimer::arm(timer, 60000); // same interval: unchanged
    QVERIFY(timer.remainingTime() <= before);
    LoopTimer::arm(timer, 120000); // a different interval restarts it
    QVERIFY(timer.remainingTime() > 60000);
    timer.stop();
    LoopTimer::setInterval(timer, 1000); // setting an interval does not switch a timer on
    QVERIFY(!timer.isActive());
    LoopTimer::arm(timer, 0); // zero never fires
    QVERIFY(!timer.isActive());

    // The main window's show keeps a running auto-minimize timer counting from the earlier show.
    TempHome home;
    home.writeIni(QStringLiteral("[系统设置]\nzxf=5\n"));
    AppContext context(home.home());
    AppAssembly assembly(context, {.openDatabase = false, .withLogin = false});
    MainWindow& window = assembly.window();
    assembly.tray().overrideTrayAvailable(true);
    QCOMPARE(window.autoMinimizeTimer().interval(), 5 * 60000);
    QVERIFY(!window.autoMinimizeTimer().isActive());
    window.show();
    QVERIFY(window.autoMinimizeTimer().isActive());
    QTRY_VERIFY(window.autoMinimizeTimer().remainingTime() < 5 * 60000 - 20);
    const int countdown = window.autoMinimizeTimer().remainingTime();
    window.setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!window.isVisible());
    window.restore(MainWindow::Restore::DoubleClick);
    QVERIFY(window.autoMinimizeTimer().remainingTime() <= countdown);
}

void TestTray::exitAsksFirst()
{
    Shell s;
    s.window.autoMinimizeTimer().start(60000);
    s.window.snoozeTimer().start(60000);
    MessageBox::setNextAnswer(QMessageBox::No);
    s.item("exitAction")->trigger();
    QCOMPARE(MessageBox::shownTexts(), QStringList{QStringLiteral("您真的要退出吗？")});
    QVERIFY(s.window.autoMinimizeTimer().isActive());
    QVERIFY(s.window.snoozeTimer().isActive());
    QVERIFY(s.window.isVisible());

    MessageBox::setNextAnswer(QMessageBox::Yes);
    s.item("exitAction")->trigger();
    QVERIFY(!s.window.autoMinimizeTimer().isActive());
    QVERIFY(!s.window.snoozeTimer().isActive());
    QVERIFY(!s.tray.isIconShown());
}

// The stay-on-top reminder would cover the modal question and the program would look frozen.
void TestTray::exitQuestionNotUnderReminder()
{
    struct HideCounter : QObject
    {
        int hides = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            hides += event->type() == QEvent::Hide;
            return false;
        }
    } counter;
    Shell s;
    ReminderWindow& reminder = s.assembly.reminder();
    reminder.show();
    reminder.installEventFilter(&counter);
    MessageBox::setNextAnswer(QMessageBox::No);
    s.item("exitAction")->trigger();
    QCOMPARE(MessageBox::shownTexts(), QStringList{QStringLiteral("您真的要退出吗？")});
    QCOMPARE(counter.hides, 1);    // stepped aside for the question
    QVERIFY(reminder.isVisible()); // and came back after "No"
}

void TestTray::autostartItemRemovesEntry()
{
    Shell s;
    s.home.writeIni(QStringLiteral("[系统设置]\nroot=1\n"));
    Autostart::write(QStringLiteral("/usr/bin/velmora"));
    QVERIFY(QFile::exists(Autostart::entryPath()));
    emit s.tray.menu()->aboutToShow(); // the menu opens
    s.item("autostartOffAction")->trigger();
    QVERIFY(!QFile::exists(Autostart::entryPath()));
    QVERIFY(s.context.settings.autostart()); // the setting stays
    s.item("autostartOffAction")->trigger(); // nothing to remove: no message
    QVERIFY(MessageBox::shownTexts().isEmpty());
}

void TestTray::autostartEntryCarriesHome_data()
{
    // clang-format off
    QTest::addColumn<QString>("home"); // relative to a temporary folder; "-" = not chosen by VELMORA_HOME
    QTest::newRow("default home")                    << "-";
    QTest::newRow("plain")                           << "home";
    QTest::newRow("blanks and Chinese")              << "my 信用卡 home";
    QTest::newRow("shell and field-code characters") << R"(a"b$c`d\e%f%%g'h;i)";
    // clang-format on
}

// The entry is started the way a desktop session does: the Exec value unescaped as a
// desktop-entry string, then split and run by a shell. The "program" prints its environment.
void TestTray::autostartEntryCarriesHome()
{
    QFETCH(QString, home);
    TempHome temp;
    temp.writeIni(QStringLiteral("[系统设置]\nroot=1\n"));
    AppContext context(temp.home());
    context.executablePath = QStringLiteral("/usr/bin/printenv");
    if (home != u"-") {
        QVERIFY(QDir(temp.path()).mkpath(home));
        context.autostartHome = QDir(temp.path()).filePath(home);
    }
    AppAssembly assembly(context,
                         {.openDatabase = false, .withLogin = false}); // writes the entry while root is on

    QFile entry(Autostart::entryPath());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    QString exec;
    for (const QString& line : QString::fromUtf8(entry.readAll()).split(u'\n'))
        if (line.startsWith(QLatin1String("Exec=")))
            exec = line.mid(5);
    QString command;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        if (exec[i] == u'\\' && i + 1 < exec.size()) {
            const QChar next = exec[++i];
            command += next == u's' ? QChar(u' ') : next == u't' ? QChar(u'\t') : next;
        } else if (exec[i] == u'%') {
            QCOMPARE(exec.mid(i, 2), QStringLiteral("%%")); // a field code would be replaced
            command += exec[i++];
        } else {
            command += exec[i];
        }
    }
    QProcess shell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("VELMORA_HOME"));
    shell.setProcessEnvironment(env);
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    QVERIFY(shell.waitForFinished());
    QCOMPARE(shell.exitCode(), 0);
    QString started = QStringLiteral("-");
    for (const QString& line : QString::fromUtf8(shell.readAllStandardOutput()).split(u'\n'))
        if (line.startsWith(QLatin1String("VELMORA_HOME=")))
            started = line.mid(13);
    QCOMPARE(started, home == u"-" ? home : context.autostartHome);
}

void TestTray::withoutTrayWindowIsMinimizedNotLost()
{
    Shell s(false);
    s.window.autoMinimizeTimer().setInterval(60000);
    tick(s.window.autoMinimizeTimer());
    QVERIFY(s.window.isVisible());
    QVERIFY(s.window.isMinimized());
    QCOMPARE(s.minimized.count(), 1); // the mail reminder still gets its notification
    QVERIFY(!s.tray.isIconShown());

    // Brought back from the taskbar: the show handling runs as for a restore from the tray.
    s.window.state().pwdProtect = true;
    s.window.state().refreshed = false;
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        // Wayland says no more than that it has the focus again. Deprecated from Qt 6.5 on, but
        // the one way to give a test window the focus the compositor would give it.
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        QApplication::setActiveWindow(&s.window);
        QT_WARNING_POP
    } else
        s.window.setWindowState(Qt::WindowNoState);
    QTRY_VERIFY(s.window.state().refreshed);
    QVERIFY(!s.window.isCardTabVisible());
    QVERIFY(!s.window.isHiddenToTray());

    // The close box is the only way out here, so it asks; No keeps the window.
    MessageBox::setNextAnswer(QMessageBox::No);
    QVERIFY(!s.window.close());
    QCOMPARE(MessageBox::shownTexts(), QStringList{QStringLiteral("您真的要退出吗？")});
    QVERIFY(s.window.isVisible());
}

void TestTray::secondStartBringsWindowForward()
{
    Shell s;
    s.window.state().pwdProtect = true;
    s.window.restore(MainWindow::Restore::Activation); // already shown: only brought forward
    QVERIFY(s.window.isCardTabVisible());
    s.window.hideToTray();
    s.window.restore(MainWindow::Restore::Activation);
    QVERIFY(s.window.isVisible());
    QVERIFY(!s.window.isCardTabVisible());
}

void TestTray::aboutAndHelp()
{
    Shell s;
    s.item("aboutAction")->trigger(); // "关于软件"
    auto* about = s.window.findChild<QDialog*>(QStringLiteral("aboutBox"));
    QVERIFY(about && about->isVisible());
    const QString text = about->findChild<QLabel*>(QStringLiteral("aboutText"))->text();
    QVERIFY(text.contains(QStringLiteral("GPL-3.0-or-later")));
    QVERIFY2(text.contains(QDir::toNativeSeparators(QDir(s.home.path()).absolutePath())), qPrintable(text));
    QVERIFY(text.contains(QFileInfo(s.home.databasePath()).absoluteFilePath()));
    about->close();

    s.item("helpAction")->trigger(); // "使用帮助"
    auto* help = s.window.findChild<QDialog*>(QStringLiteral("helpWindow"));
    QVERIFY(help && help->isVisible());
    QVERIFY(help->findChild<QTextBrowser*>(QStringLiteral("helpPage"))
                ->toPlainText()
                .contains(QStringLiteral("Velmora 使用帮助")));
    QVERIFY(MessageBox::shownTexts().isEmpty()); // nothing modal
    help->close();
}

void TestTray::autostartItemOnlyWhileOn()
{
    Shell s;
    Autostart::remove();
    emit s.tray.menu()->aboutToShow();
    QVERIFY(!s.item("autostartOffAction")->isEnabled()); // no entry: nothing to switch off
    Autostart::write(QStringLiteral("/usr/bin/velmora"));
    emit s.tray.menu()->aboutToShow();
    QVERIFY(s.item("autostartOffAction")->isEnabled());
    s.item("autostartOffAction")->trigger();
    QVERIFY(!s.item("autostartOffAction")->isEnabled());
}

// The panel starts after the programs of the session; the entry asks to be started after it.
void TestTray::autostartEntryStartsAfterPanel()
{
    TempHome home;
    Autostart::write(QStringLiteral("/usr/bin/velmora"));
    QFile entry(Autostart::entryPath());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    for (const char* line : {"X-GNOME-Autostart-Delay=", "X-KDE-autostart-after=panel\n",
                             "X-LXQt-Need-Tray=true\n", "X-MATE-Autostart-Delay="})
        QVERIFY2(text.contains(QLatin1String(line)), line);
    const QString validate = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (!validate.isEmpty()) {
        QProcess check;
        check.start(validate, {Autostart::entryPath()});
        QVERIFY(check.waitForFinished());
        QVERIFY2(check.exitCode() == 0, check.readAllStandardOutput().constData());
    }
}

// The daily backup at the first show fails while the icon is not shown yet: a balloon would be
// lost, and without a notification service a message tells it.
void TestTray::backupFailureReachesUser()
{
    TempHome home;
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("甲").statementDay(5).repaymentDay(25).insert();
    }
    QFile blocker(Backup::folderFor(home.databasePath())); // a file where the folder belongs
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    AppContext context(home.home());
    AppAssembly assembly(context, {.withLogin = false});
    assembly.tray().overrideTrayAvailable(true);
    assembly.window().show();
    QTRY_COMPARE(MessageBox::shownTexts().filter(QStringLiteral("今日数据库备份失败")).size(), 1);
}

// The reminder opens above the main window: as its transient, once the main window is on
// screen (Wayland stacks nothing else and knows no stay-on-top).
void TestTray::reminderAboveMainWindow()
{
    struct ShownOver : QObject
    {
        QWidget* main = nullptr;
        bool mainExposed = false;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Show)
                mainExposed = main->windowHandle() && main->windowHandle()->isExposed();
            return false;
        }
    } shownOver;
    TempHome home;
    home.writeIni(QStringLiteral("[系统设置]\npdtf=0\n"));
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("甲").statementDay(20).repaymentDay(6).insert(); // due tomorrow
    }
    FixedClock clock(QDate(2013, 9, 5));
    AppContext context(home.home());
    context.clock = &clock;
    AppAssembly assembly(context, {.withLogin = false});
    MainWindow& window = assembly.window();
    ReminderWindow& reminder = assembly.reminder();
    shownOver.main = &window;
    reminder.installEventFilter(&shownOver);
    window.show();
    QTRY_VERIFY(reminder.isVisible());
    QVERIFY(reminder.windowHandle());
    QCOMPARE(reminder.windowHandle()->transientParent(), window.windowHandle());
    QVERIFY(reminder.windowFlags() & Qt::WindowStaysOnTopHint); // where the desktop honours it
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        QVERIFY(shownOver.mainExposed);
        QVERIFY(QTest::qWaitForWindowExposed(&reminder));
    }
}

void TestTray::startInTray_data()
{
    // clang-format off
    QTest::addColumn<bool>("trayAvailable");
    QTest::addColumn<int>("repaymentDay"); // today is 2013-9-5
    QTest::addColumn<bool>("windowShown");
    QTest::newRow("nothing due: stays in the tray") << true  << 25 << false;
    QTest::newRow("due tomorrow: the reminder")     << true  << 6  << true;
    QTest::newRow("no notification area")           << false << 25 << true;
    // clang-format on
}

void TestTray::startInTray()
{
    QFETCH(bool, trayAvailable);
    QFETCH(int, repaymentDay);
    QFETCH(bool, windowShown);
    TempHome home;
    home.writeIni(QStringLiteral("[系统设置]\npdtf=0\nstarthidden=1\n"));
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("甲").statementDay(20).repaymentDay(repaymentDay).insert();
    }
    FixedClock clock(QDate(2013, 9, 5));
    AppContext context(home.home());
    context.clock = &clock;
    QVERIFY(context.settings.startHidden());
    AppAssembly assembly(context, {.withLogin = false});
    MainWindow& window = assembly.window();
    QSignalSpy minimized(&window, &MainWindow::minimized);
    assembly.tray().overrideTrayAvailable(trayAvailable);
    window.startInTray();
    QCOMPARE(window.isVisible(), windowShown);
    QCOMPARE(window.isHiddenToTray(), !windowShown);
    QCOMPARE(assembly.tray().isIconShown(), trayAvailable);
    if (windowShown)
        QTRY_COMPARE(assembly.reminder().isVisible(), repaymentDay == 6);
    QCOMPARE(minimized.count(), windowShown ? 0 : 1); // hidden from the start: the mail check

    // From the tray the window comes back as after any hide.
    if (!windowShown) {
        window.restore(MainWindow::Restore::DoubleClick);
        QVERIFY(window.isVisible());
        QVERIFY(window.state().refreshed);
    }
}

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
