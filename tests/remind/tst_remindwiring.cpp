#include "app/AppAssembly.h"
#include "app/MainWindow.h"
#include "app/TrayController.h"
#include "remind/MailReminder.h"
#include "remind/ReminderWindow.h"
#include "store/DataModule.h"
#include "support/CardBuilder.h"
#include "support/SmtpServer.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/MessageBox.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

// The reminder parts as the main window wires them: the daily mail on hiding to the tray,
// the mail server dialog from the settings tab.
class TestRemindWiring : public QObject
{
    Q_OBJECT
private slots:
    void hidingToTrayMailsOncePerDay();
    void failureWithoutTrayToldOnceAtNextShow();
};

void TestRemindWiring::hidingToTrayMailsOncePerDay()
{
    SmtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    TempHome home;
    home.writeIni(QStringLiteral("[系统设置]\r\npdtf=0\r\nqy=1\r\nem=me@velmora.test\r\n") +
                  server.settingsSection());
    {
        Database db;
        db.open(home.databasePath());
        // Repayment on the 7th: due in two days on 2013-9-5.
        CardBuilder(db).name("A").number("1").statementDay(20).repaymentDay(7).ratio(0.1).used(1000).insert();
        CardBuilder(db).name("B").number("2").statementDay(20).repaymentDay(7).insert();
    }
    MessageBox::setSuppressAll(true);
    FixedClock clock(QDate(2013, 9, 5));
    AppContext context(home.home());
    context.clock = &clock;
    AppAssembly assembly(context, {.withLogin = false});
    MainWindow& window = assembly.window();
    assembly.tray().overrideTrayAvailable(true);
    ReminderWindow& reminder = assembly.reminder();

    window.show(); // the refresh pass hands the due-soon cards to the reminder
    QCOMPARE(int(reminder.cards().size()), 2);
    QCOMPARE(reminder.heading(), QStringLiteral("3天内共需还：2张"));
    QTest::mouseClick(reminder.findChild<QToolButton*>("nextCardButton"), Qt::LeftButton);
    QCOMPARE(reminder.currentRow(), 1);

    window.hideToTray();
    QVERIFY(window.mailReminder()->isSending());
    window.mailReminder()->waitForSend();
    QCOMPARE(server.messageCount(), 1);
    // The mail names the most urgent card and every card, and leaves the reminder on its card.
    QCOMPARE(server.message(0).value("subject").toString(), QStringLiteral("A-还款日为:2013-9-7"));
    QCOMPARE(reminder.currentRow(), 1);
    QCOMPARE(reminder.findChild<QLabel*>("cardNameValue")->text(), QStringLiteral("B"));

    window.restore(MainWindow::Restore::DoubleClick);
    window.hideToTray();
    QVERIFY(!window.mailReminder()->isSending());
    QCOMPARE(server.messageCount(), 1);

    // The settings tab's "邮件服务器…" opens the dialog without blocking.
    window.restore(MainWindow::Restore::DoubleClick);
    QTest::mouseClick(window.findChild<QPushButton*>("MailServerButton"), Qt::LeftButton);
    auto* dialog = window.findChild<QDialog*>("MailServerDialog");
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    dialog->reject();
    MessageBox::setSuppressAll(false);
}

// No notification area, so no balloon: the failure waits for the window to come back and is
// told there once.
void TestRemindWiring::failureWithoutTrayToldOnceAtNextShow()
{
    SmtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    TempHome home;
    home.writeIni(QStringLiteral("[系统设置]\r\npdtf=0\r\nqy=1\r\nem=me@velmora.test\r\n") +
                  server.settingsSection(QStringLiteral("wrong")));
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("A").number("1").statementDay(20).repaymentDay(7).ratio(0.1).used(1000).insert();
    }
    MessageBox::setSuppressAll(true);
    MessageBox::clearShownTexts();
    FixedClock clock(QDate(2013, 9, 5));
    AppContext context(home.home());
    context.clock = &clock;
    AppAssembly assembly(context, {.withLogin = false});
    MainWindow& window = assembly.window();
    assembly.tray().overrideTrayAvailable(false);
    window.show();

    window.hideToTray(); // minimized, as there is no tray
    QVERIFY(window.mailReminder()->isSending());
    window.mailReminder()->waitForSend();
    QCOMPARE(MessageBox::shownTexts(), QStringList());

    window.restore(MainWindow::Restore::DoubleClick);
    QCOMPARE(MessageBox::shownTexts().size(), 1);
    QVERIFY2(MessageBox::shownTexts().first().startsWith("今天的还款提醒邮件发送失败：邮件服务器拒绝登录"),
             qPrintable(MessageBox::shownTexts().first()));

    window.hideToTray();
    window.restore(MainWindow::Restore::DoubleClick);
    QCOMPARE(MessageBox::shownTexts().size(), 1); // once
    MessageBox::setSuppressAll(false);
}

QTEST_MAIN(TestRemindWiring)
#include "tst_remindwiring.moc"
