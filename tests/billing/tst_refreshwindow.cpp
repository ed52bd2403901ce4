#include "app/AppAssembly.h"
#include "app/LoginDialog.h"
#include "app/MainWindow.h"
#include "app/SettingsPage.h"
#include "billing/SummaryCommand.h"
#include "remind/ReminderWindow.h"
#include "store/Backup.h"
#include "store/DataModule.h"
#include "store/Settings.h"
#include "support/CardBuilder.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/MessageBox.h"
#include "views/CardPage.h"
#include "views/HolderDialog.h"
#include "views/RepaymentMonthModel.h"
#include "views/RepaymentMonthPage.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// The refresh pass as the main window runs it at a show: labels, reminder, messages.
class TestRefreshWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void showWritesLabelsAndRaisesReminder();
    void newDayRaisesReminderAgain();
    void monthViewFollowsTheRefresh();
    void missingProtectionKeyAsksFromFirstShow_data();
    void missingProtectionKeyAsksFromFirstShow();
    void skippedCardsAreToldOnce();
    void errorIsShownAndWindowComesUp();
    void windowAndCommandRunOneSequence();

private:
    void makeWindow();
    QStringList labelTexts() const;
    // Shows the window, answering the login it opens: the password, or nullopt to close it.
    bool showAnsweringLogin(const std::optional<QString>& typed);

    TempHome* m_home = nullptr;
    FixedClock m_clock{QDate(2013, 9, 5)};
    AppContext* m_context = nullptr;
    AppAssembly* m_assembly = nullptr;
    MainWindow* m_window = nullptr;
    LoginDialog* m_login = nullptr;
    DataModule* m_data = nullptr;
    ReminderWindow* m_reminder = nullptr;
    HolderDialog* m_holders = nullptr;
};

void TestRefreshWindow::init()
{
    m_home = new TempHome;
    m_home->writeIni(QStringLiteral("[系统设置]\npdtf=0\n"));
    m_clock.setDate(QDate(2013, 9, 5));
    MessageBox::setSuppressAll(true);
    MessageBox::clearShownTexts();
}

void TestRefreshWindow::makeWindow()
{
    m_context = new AppContext(m_home->home());
    m_context->clock = &m_clock;
    m_assembly = new AppAssembly(*m_context);
    m_window = &m_assembly->window();
    m_login = m_assembly->login();
    m_data = &m_assembly->data();
    m_reminder = &m_assembly->reminder();
    m_holders = &m_assembly->holders();
}

void TestRefreshWindow::cleanup()
{
    delete m_assembly; // the window with its dialogs, then the data module
    m_assembly = nullptr;
    m_window = nullptr;
    delete m_context;
    delete m_home;
    MessageBox::setSuppressAll(false);
}

QStringList TestRefreshWindow::labelTexts() const
{
    QStringList texts{m_window->findChild<QLabel*>(QStringLiteral("todayLabel"))->text()};
    for (int i = 0; i < 8; ++i)
        texts << m_window->findChild<QLabel*>(CardPage::countLabelName(i))->text();
    return texts;
}

void TestRefreshWindow::showWritesLabelsAndRaisesReminder()
{
    {
        DataModule seed;
        seed.open(m_home->databasePath());
        CardBuilder b(seed.database());
        b.name(QStringLiteral("今天")).statementDay(20).repaymentDay(5).insert();
        b.name(QStringLiteral("后天")).statementDay(20).repaymentDay(7).insert();
        b.name(QStringLiteral("过期")).statementDay(20).repaymentDay(1).insert();
    }
    makeWindow();
    m_window->show();
    QCOMPARE(labelTexts(), QStringList({"当前日期:2013-9-5", "1天内需还:1张", "2天内需还:1张",
                                        "3天内需还:2张", "7天内需还:2张", "10天内需还:2张", "15天内需还:2张",
                                        "已经过期:1张", "3天内共需还款:2张"}));
    QCOMPARE(m_reminder->heading(), QStringLiteral("3天内共需还：2张"));
    QVERIFY(m_reminder->isVisible());
    QVERIFY(m_window->state().reminderShown);
    QCOMPARE(int(m_reminder->cards().size()), 2);
    QVERIFY(MessageBox::shownTexts().isEmpty());

    // Closing the reminder starts a new cycle: the next show refreshes, but does not raise it again.
    m_reminder->close();
    m_window->hide();
    m_window->show();
    QVERIFY(m_window->state().refreshed);
    QVERIFY(!m_reminder->isVisible());
}

void TestRefreshWindow::newDayRaisesReminderAgain()
{
    {
        DataModule seed;
        seed.open(m_home->databasePath());
        CardBuilder(seed.database()).name(QStringLiteral("卡")).statementDay(20).repaymentDay(7).insert();
    }
    makeWindow();
    m_window->show();
    QVERIFY(m_reminder->isVisible());
    m_reminder->close();
    m_window->hide();

    m_clock.setDate(QDate(2013, 9, 6)); // the program stayed in the tray overnight
    m_window->show();
    QCOMPARE(labelTexts().first(), QStringLiteral("当前日期:2013-9-6"));
    QCOMPARE(m_reminder->heading(), QStringLiteral("3天内共需还：1张"));
    QVERIFY(m_reminder->isVisible());
}

// The month view on screen when the day turns shows the new day's states without a new show.
void TestRefreshWindow::monthViewFollowsTheRefresh()
{
    {
        DataModule seed;
        seed.open(m_home->databasePath());
        CardBuilder(seed.database()).name(QStringLiteral("卡")).statementDay(20).repaymentDay(7).insert();
    }
    makeWindow();
    m_window->show();
    m_reminder->close();
    m_window->pages()->setCurrentWidget(m_window->monthPage());
    const RepaymentMonthModel* model = m_window->monthPage()->model();
    const QModelIndex seventh = model->indexOf(QDate(2013, 9, 7));
    QCOMPARE(seventh.data(Qt::AccessibleTextRole).toString(),
             QStringLiteral("9月7日：1张卡还款（1张3天内到期）"));

    m_clock.setDate(QDate(2013, 9, 8));
    m_window->runShowHandling();
    QCOMPARE(model->today(), QDate(2013, 9, 8));
    QCOMPARE(model->indexOf(QDate(2013, 9, 7)).data(Qt::AccessibleTextRole).toString(),
             QStringLiteral("9月7日：1张卡还款（1张已过期）"));
}

bool TestRefreshWindow::showAnsweringLogin(const std::optional<QString>& typed)
{
    bool asked = false;
    QTimer::singleShot(0, m_login, [&] {
        asked = m_login->isVisible() && !m_window->isCardTabVisible();
        if (!typed) {
            m_login->reject();
            return;
        }
        m_login->passwordField()->setText(*typed);
        m_login->loginButton()->click();
    });
    m_window->show();
    return asked;
}

// A password saved without ever saving the protection switch (no pdtf key) protects from the
// first show on, and the day's reminder comes with the login: at once, or at a later login of
// the same day when the first one was closed.
void TestRefreshWindow::missingProtectionKeyAsksFromFirstShow_data()
{
    QTest::addColumn<QString>("ini");
    QTest::newRow("no pdtf key") << QString();
    QTest::newRow("pdtf=1") << QStringLiteral("[系统设置]\npdtf=1\n");
}

void TestRefreshWindow::missingProtectionKeyAsksFromFirstShow()
{
    QFETCH(QString, ini);
    const auto start = [&] {
        // A password an older version kept in the file: the first login checks it and seals.
        m_home->writeIni((ini.isEmpty() ? QStringLiteral("[系统设置]\n") : ini) + QStringLiteral("pd=abc\n"));
        DataModule seed;
        seed.open(m_home->databasePath());
        CardBuilder(seed.database()).name(QStringLiteral("卡")).statementDay(20).repaymentDay(5).insert();
    };
    start();
    makeWindow();
    QVERIFY(
        m_window->settingsPage()->findChild<QCheckBox*>(QStringLiteral("passwordProtectBox"))->isChecked());
    QVERIFY(showAnsweringLogin(QStringLiteral("abc")));
    QVERIFY(m_window->isCardTabVisible());
    QVERIFY(m_reminder->isVisible());

    // Another start of the same day whose first login is closed: nothing shown until a login.
    cleanup();
    init();
    start();
    makeWindow();
    QVERIFY(showAnsweringLogin(std::nullopt));
    QCOMPARE(int(m_reminder->cards().size()), 1);
    QVERIFY(!m_window->isCardTabVisible());
    QVERIFY(!m_reminder->isVisible());
    m_window->hide();
    QVERIFY(showAnsweringLogin(QStringLiteral("abc")));
    QVERIFY(m_reminder->isVisible());
    m_reminder->close();
    m_window->hide();
    QVERIFY(showAnsweringLogin(QStringLiteral("abc")));
    QVERIFY(!m_reminder->isVisible()); // once a day
}

void TestRefreshWindow::skippedCardsAreToldOnce()
{
    {
        DataModule seed;
        seed.open(m_home->databasePath());
        CardBuilder(seed.database()).name(QStringLiteral("缺日子")).repaymentDay(8).insert();
    }
    makeWindow();
    m_window->show();
    QCOMPARE(MessageBox::shownTexts().size(), 1);
    QVERIFY(MessageBox::shownTexts().first().contains(QStringLiteral("缺日子")));

    m_window->state().refreshed = false;
    m_window->hide();
    m_window->show();
    QCOMPARE(MessageBox::shownTexts().size(), 1);
}

void TestRefreshWindow::errorIsShownAndWindowComesUp()
{
    {
        DataModule seed;
        seed.open(m_home->databasePath());
        CardBuilder(seed.database()).statementDay(20).repaymentDay(5).daysLeft(9).insert();
    }
    makeWindow();
    // On this connection only: a file carrying a trigger is refused at open.
    m_data->database().executeSql(QStringLiteral(
        "CREATE TEMP TRIGGER refuse BEFORE UPDATE ON main.txyk BEGIN SELECT RAISE(ABORT, '磁盘已满'); END"));
    m_window->autoMinimizeTimer().setInterval(60000);
    m_window->state().autoMinMinutes = 1;
    m_window->show();
    QVERIFY(m_window->isVisible());
    QCOMPARE(MessageBox::shownTexts().size(), 1);
    QVERIFY(MessageBox::shownTexts().first().contains(QStringLiteral("磁盘已满")));
    QCOMPARE(labelTexts().at(1), QStringLiteral("1天内需还:"));
    QVERIFY(!m_reminder->isVisible());
    QVERIFY(m_window->autoMinimizeTimer().isActive());
    m_data->cards().first();
    QCOMPARE(m_data->cards().intValue(QStringLiteral("i_xyr")), 9);
    QVERIFY(!m_data->cards().controlsDisabled());
}

// The window's refresh and `--summary` run one sequence: the same backup and calendar problems
// reach the user (the window tells each once a day), and the counts are the same.
void TestRefreshWindow::windowAndCommandRunOneSequence()
{
    {
        DataModule seed;
        seed.open(m_home->databasePath());
        CardBuilder(seed.database()).name(QStringLiteral("今天")).statementDay(20).repaymentDay(5).insert();
    }
    QFile blocker(Backup::folderFor(m_home->databasePath())); // a file where the backup folder belongs
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(QDir(m_home->home().path()).mkpath(QStringLiteral("velmora.ics"))); // no calendar file there
    makeWindow();
    m_window->show();
    QTRY_COMPARE(MessageBox::shownTexts().size(), 2); // the calendar once the window is painted
    const QStringList told = MessageBox::shownTexts();
    QVERIFY2(told.first().startsWith(QStringLiteral("今日数据库备份失败")), qPrintable(told.first()));

    m_reminder->close(); // the next show refreshes again
    m_window->hide();
    m_window->show();
    QTest::qWait(0);
    QCOMPARE(MessageBox::shownTexts(), told);

    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    QCOMPARE(runSummaryCommand(m_home->home(), m_clock, false, outStream, errStream), 0);
    errStream.flush();
    QCOMPARE(err.split(u'\n', Qt::SkipEmptyParts).mid(0, 2),
             QStringList({"velmora: " + told.at(0), "velmora: " + told.at(1)}));
    QVERIFY2(out.contains(labelTexts().at(1)), qPrintable(out)); // "1天内需还:1张"
    QCOMPARE(labelTexts().at(1), QStringLiteral("1天内需还:1张"));
}

QTEST_MAIN(TestRefreshWindow)
#include "tst_refreshwindow.moc"
