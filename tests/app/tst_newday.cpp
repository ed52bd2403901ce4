#include "app/AppAssembly.h"
#include "app/DayWatcher.h"
#include "app/LoginDialog.h"
#include "app/MainWindow.h"
#include "app/TrayController.h"
#include "remind/MailReminder.h"
#include "remind/ReminderWindow.h"
#include "store/Backup.h"
#include "store/DataModule.h"
#include "support/CardBuilder.h"
#include "support/SmtpServer.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/MessageBox.h"
#include "views/CardPage.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {
// The program living in the tray with the mail on, one card repaid on the 12th (due within
// three days from the 10th on), started at `start` and shown once.
struct Program
{
    SmtpServer server;
    TempHome home;
    FixedClock clock;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<AppAssembly> assembly;
    MainWindow* window = nullptr;
    ReminderWindow* reminder = nullptr;

    explicit Program(const QDateTime& start, const QString& protection = QStringLiteral("pdtf=0"))
        : clock(start)
    {
        if (!server.start())
            qFatal("%s", qPrintable(server.errorString()));
        home.writeIni(QStringLiteral("[系统设置]\r\n%1\r\nqy=1\r\nem=me@velmora.test\r\n").arg(protection) +
                      server.settingsSection());
        {
            DataModule seed;
            seed.open(home.databasePath());
            CardBuilder(seed.database())
                .name(QStringLiteral("A"))
                .number("6225880000001234")
                .statementDay(25)
                .repaymentDay(12)
                .insert();
        }
        context = std::make_unique<AppContext>(home.home());
        context->clock = &clock;
        assembly = std::make_unique<AppAssembly>(*context);
        window = &assembly->window();
        reminder = &assembly->reminder();
        assembly->tray().overrideTrayAvailable(true);
    }
    void turnTo(const QDateTime& at)
    {
        clock.set(at);
        window->dayWatcher()->check(); // what the midnight timer does when it fires
    }
    bool backupOf(QDate day) const
    {
        return QFile::exists(Backup::folderFor(home.databasePath()) +
                             QStringLiteral("/Data-%1.db").arg(day.toString(Qt::ISODate)));
    }
    int mails()
    {
        if (window->mailReminder()->isSending())
            window->mailReminder()->waitForSend();
        return server.messageCount();
    }
    QString dateLabel() const { return window->cardPage()->dateLabel()->text(); }
    QString threeDays() const { return window->cardPage()->countLabel(2)->text(); }
    void answerLogin(const QString& password)
    {
        LoginDialog* login = assembly->login();
        QTimer::singleShot(0, login, [login, password] {
            login->passwordField()->setText(password);
            login->loginButton()->click();
        });
    }
};

const QDate kDay(2027, 3, 9);
const QDateTime kBeforeMidnight(kDay, QTime(23, 59));
const QDateTime kAfterMidnight(kDay.addDays(1), QTime(0, 0, 2));
} // namespace

class TestNewDay : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void midnightTimerAims_data();
    void midnightTimerAims();
    void hiddenInTrayWhenDayTurns();
    void shownOverMidnightCountsFollow();
    void wakeAfterTwoDaysRunsOnce();
    void protectedStaysLockedAndReminderWaitsForLogin();
};

void TestNewDay::init()
{
    MessageBox::clearShownTexts();
    MessageBox::setSuppressAll(true);
}

void TestNewDay::cleanup()
{
    MessageBox::setSuppressAll(false);
}

void TestNewDay::midnightTimerAims_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<qint64>("msecs");
    QTest::newRow("a minute before") << kBeforeMidnight << qint64(60000);
    QTest::newRow("at midnight") << QDateTime(kDay, QTime(0, 0)) << qint64(86400000);
    QTest::newRow("last day of February")
        << QDateTime(QDate(2027, 2, 28), QTime(12, 0, 0, 500)) << qint64(43199500);
}

void TestNewDay::midnightTimerAims()
{
    QFETCH(QDateTime, now);
    QFETCH(qint64, msecs);
    QCOMPARE(DayWatcher::msecsToNextDay(now), msecs);
}

// Hidden in the tray at 23:59; the day turns: backup, pass, reminder on top, mail, once.
void TestNewDay::hiddenInTrayWhenDayTurns()
{
    Program p(kBeforeMidnight);
    p.window->show();
    QVERIFY(!p.reminder->isVisible()); // three days left: not yet due
    p.window->hideToTray();
    QCOMPARE(p.mails(), 0);
    const QTimer& midnight = p.window->dayWatcher()->midnightTimer();
    QVERIFY(midnight.isActive());
    QVERIFY(midnight.interval() >= 60000 && midnight.interval() < 70000);
    p.window->snoozeTimer().start(3600000); // a snooze over midnight runs on as it was
    const int snoozeLeft = p.window->snoozeTimer().remainingTime();

    p.turnTo(kAfterMidnight);
    QVERIFY(p.backupOf(kDay.addDays(1)));
    QCOMPARE(p.dateLabel(), QStringLiteral("当前日期:2027-3-10"));
    QCOMPARE(p.threeDays(), QStringLiteral("3天内需还:1张"));
    QVERIFY(p.reminder->isVisible());
    QCOMPARE(p.reminder->heading(), QStringLiteral("3天内共需还：1张"));
    QVERIFY(!p.window->isVisible()); // the window stays in the tray
    QVERIFY(p.window->snoozeTimer().isActive());
    QVERIFY(p.window->snoozeTimer().remainingTime() <= snoozeLeft);
    QCOMPARE(p.mails(), 1);
    QCOMPARE(p.server.message(0).value("subject").toString(), QStringLiteral("A-还款日为:2027-3-12"));

    // Later the same day: nothing again.
    p.reminder->close();
    QVERIFY(QFile::remove(Backup::folderFor(p.home.databasePath()) + QStringLiteral("/Data-2027-03-10.db")));
    p.turnTo(kAfterMidnight.addSecs(3600));
    p.window->restore(MainWindow::Restore::Menu);
    p.window->hideToTray();
    QVERIFY(!p.reminder->isVisible());
    QVERIFY(!p.backupOf(kDay.addDays(1)));
    QCOMPARE(p.mails(), 1);
}

// Shown over midnight: the date, the counts and the reminder follow; the auto-hide timer goes on.
void TestNewDay::shownOverMidnightCountsFollow()
{
    Program p(kBeforeMidnight);
    p.window->autoMinimizeTimer().setInterval(600000);
    p.window->state().autoMinMinutes = 10;
    p.window->show();
    QCOMPARE(p.threeDays(), QStringLiteral("3天内需还:0张"));
    QVERIFY(p.window->autoMinimizeTimer().isActive());
    const int autoHideLeft = p.window->autoMinimizeTimer().remainingTime();

    p.turnTo(kAfterMidnight);
    QCOMPARE(p.dateLabel(), QStringLiteral("当前日期:2027-3-10"));
    QCOMPARE(p.threeDays(), QStringLiteral("3天内需还:1张"));
    QVERIFY(p.reminder->isVisible());
    QVERIFY(p.window->isVisible());
    QVERIFY(p.window->autoMinimizeTimer().isActive());
    QVERIFY(p.window->autoMinimizeTimer().remainingTime() <= autoHideLeft); // not restarted
    QCOMPARE(p.mails(), 1);
}

// Suspended for two days: the wake-up runs the day once, for the day it wakes into.
void TestNewDay::wakeAfterTwoDaysRunsOnce()
{
    Program p(QDateTime(kDay.addDays(-1), QTime(22, 0)));
    p.window->show();
    p.window->hideToTray();
    QVERIFY(p.backupOf(kDay.addDays(-1)));

    p.clock.set(QDateTime(kDay.addDays(1), QTime(8, 0)));
    p.window->dayWatcher()->prepareForSleep(false);
    p.window->dayWatcher()->check(); // the midnight timer, late
    QVERIFY(!p.backupOf(kDay));
    QVERIFY(p.backupOf(kDay.addDays(1)));
    QCOMPARE(p.dateLabel(), QStringLiteral("当前日期:2027-3-10"));
    QVERIFY(p.reminder->isVisible());
    QCOMPARE(p.mails(), 1);
}

// With protection the day's work runs in the tray without opening anything: the card tab stays
// locked and the reminder waits for the next login of the day.
void TestNewDay::protectedStaysLockedAndReminderWaitsForLogin()
{
    Program p(kBeforeMidnight, QStringLiteral("pdtf=1\r\npd="));
    p.answerLogin(QString()); // the empty password while none is set
    p.window->show();
    QVERIFY(p.window->isCardTabVisible());
    p.window->hideToTray();

    p.turnTo(kAfterMidnight);
    QVERIFY(p.backupOf(kDay.addDays(1)));
    QCOMPARE(p.threeDays(), QStringLiteral("3天内需还:1张"));
    QVERIFY(!p.reminder->isVisible());
    QCOMPARE(p.mails(), 1);

    p.answerLogin(QString());
    p.window->restore(MainWindow::Restore::Menu);
    QVERIFY(p.window->isCardTabVisible());
    QVERIFY(p.reminder->isVisible());
}

QTEST_MAIN(TestNewDay)
#include "tst_newday.moc"
