#include "billing/RefreshPass.h"
#include "remind/MailReminder.h"
#include "remind/RemindCommand.h"
#include "store/DataModule.h"
#include "store/DateText.h"
#include "store/Settings.h"
#include "support/CardBuilder.h"
#include "support/SmtpServer.h"
#include "support/TempHome.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QTcpServer>
#include <QtTest>

namespace {

const QDate kToday(2013, 9, 5);

QString iniText(const QString& qy, const QString& em, const QString& senddate, const QString& host, int port,
                const QString& password)
{
    QString text = "[系统设置]\r\nqy=" + qy + "\r\nem=" + em + "\r\n";
    if (!senddate.isNull())
        text += "senddate=" + senddate + "\r\n";
    text += "[邮件服务器]\r\nsmtp_host=" + host + "\r\nsmtp_port=" + QString::number(port) +
            "\r\nsmtp_user=reminder@velmora.test\r\nsmtp_password=" + password +
            "\r\nsmtp_from=reminder@velmora.test\r\nsmtp_security=none\r\n";
    return text;
}

void seedDueCards(Database& db)
{
    CardBuilder cards(db);
    cards.name("A").number("1").daysLeft(0).set("c_re_date", kToday).insert();
    cards.name("B").number("2").daysLeft(2).set("c_re_date", kToday.addDays(2)).insert();
}

QString logText(const TempHome& home)
{
    QFile file(home.home().logPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

SmtpSender::Options fast()
{
    SmtpSender::Options o;
    o.connectTimeoutSeconds = 2;
    o.responseTimeoutSeconds = 2;
    return o;
}

} // namespace

class TestMailReminder : public QObject
{
    Q_OBJECT
private slots:
    void dailyRules_data();
    void dailyRules();
    void failureIsLoggedAndReported_data();
    void failureIsLoggedAndReported();
    void remindCommand_data();
    void remindCommand();
};

void TestMailReminder::dailyRules_data()
{
    QTest::addColumn<QString>("qy");
    QTest::addColumn<QString>("em");
    QTest::addColumn<QString>("senddate"); // null: no key
    QTest::addColumn<bool>("listLoaded");  // the due-soon list holds the two cards at start
    // m: minimize (the daily check), r: restart (a new run), d: next day, l: (re)load the list
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("mails");
    QTest::addColumn<QString>("finalSenddate");

    const QString today = DateText::format(kToday);
    const QString tomorrow = DateText::format(kToday.addDays(1));
    QTest::newRow("two minimizes, one mail") << "1"
                                             << "me@velmora.test" << QString() << true << "mm" << 1 << today;
    QTest::newRow("restart same day, no mail")
        << "1"
        << "me@velmora.test" << QString() << true << "mrm" << 1 << today;
    QTest::newRow("next day after restart")
        << "1"
        << "me@velmora.test" << QString() << true << "mrdm" << 2 << tomorrow;
    QTest::newRow("sent earlier today") << "1"
                                        << "me@velmora.test" << today << true << "m" << 0 << today;
    QTest::newRow("future senddate") << "1"
                                     << "me@velmora.test" << tomorrow << true << "m" << 1 << today;
    QTest::newRow("senddate not a date") << "1"
                                         << "me@velmora.test"
                                         << "abc" << true << "m" << 1 << today;
    QTest::newRow("senddate yesterday")
        << "1"
        << "me@velmora.test" << DateText::format(kToday.addDays(-1)) << true << "m" << 1 << today;
    QTest::newRow("empty list, later list") << "1"
                                            << "me@velmora.test" << QString() << false << "mlm" << 1 << today;
    QTest::newRow("empty list only") << "1"
                                     << "me@velmora.test" << QString() << false << "mm" << 0 << QString();
    QTest::newRow("qy off") << "0"
                            << "me@velmora.test" << QString() << true << "mrdm" << 0 << QString();
    QTest::newRow("em blank") << "1"
                              << "   " << QString() << true << "m" << 0 << QString();
    QTest::newRow("em empty") << "1"
                              << "" << QString() << true << "m" << 0 << QString();
}

void TestMailReminder::dailyRules()
{
    QFETCH(QString, qy);
    QFETCH(QString, em);
    QFETCH(QString, senddate);
    QFETCH(bool, listLoaded);
    QFETCH(QString, steps);
    QFETCH(int, mails);
    QFETCH(QString, finalSenddate);

    SmtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    TempHome home;
    home.writeIni(iniText(qy, em, senddate, "127.0.0.1", server.port(), server.options().password));
    DataModule data;
    data.open(home.databasePath());
    seedDueCards(data.database());
    Query& list = data.dueSoon();
    list.setSql(listLoaded ? Refresh::kDueSoonStatement : Refresh::kDueSoonStatement + " and id<0");
    list.open();

    FixedClock clock(kToday);
    Settings settings(home.iniPath());
    MailReminder reminder(settings, clock, home.home().logPath());
    reminder.setSmtpOptions(fast());
    QSignalSpy failed(&reminder, &MailReminder::failed);
    // What the main window read at start-up.
    bool mailSent = false;
    bool mailOn = settings.mailOn();
    QString mailTo = settings.mailTo();
    for (QChar step : steps) {
        switch (step.unicode()) {
        case 'm':
            reminder.check(mailSent, mailOn, mailTo, list);
            reminder.waitForSend();
            break;
        case 'r':
            mailSent = false;
            mailOn = settings.mailOn();
            mailTo = settings.mailTo();
            break;
        case 'd':
            clock.advanceDays(1);
            break;
        case 'l':
            list.setSql(Refresh::kDueSoonStatement);
            list.open();
            break;
        }
    }
    QCOMPARE(failed.count(), 0);
    QCOMPARE(server.messageCount(), mails);
    QCOMPARE(settings.file().readText(Settings::kSection, "senddate"), finalSenddate);
    if (mails > 0) {
        QCOMPARE(server.message(0).value("subject").toString(), "A-还款日为:2013-9-5");
        QVERIFY(logText(home).contains("还款提醒邮件已发送，收件人：me@velmora.test"));
    }
}

void TestMailReminder::failureIsLoggedAndReported_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong password") << "password"
                                    << "拒绝登录";
    QTest::newRow("server never answers") << "silent"
                                          << "没有及时响应";
    QTest::newRow("server not configured") << "placeholder"
                                           << "尚未设置发送提醒邮件的邮件服务器";
}

// A failed send counts the day as done, says why in the log and by signal, and the window
// never waits for the network.
void TestMailReminder::failureIsLoggedAndReported()
{
    QFETCH(QString, mode);
    QFETCH(QString, reason);
    SmtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    TempHome home;
    if (mode == "password")
        home.writeIni(iniText("1", "me@velmora.test", QString(), "127.0.0.1", server.port(), "wrong"));
    else if (mode == "silent")
        home.writeIni(iniText("1", "me@velmora.test", QString(), "127.0.0.1", silent.serverPort(), "x"));
    else
        home.writeIni("[系统设置]\r\nqy=1\r\nem=me@velmora.test\r\n");
    DataModule data;
    data.open(home.databasePath());
    seedDueCards(data.database());
    data.dueSoon().setSql(Refresh::kDueSoonStatement);
    data.dueSoon().open();

    FixedClock clock(kToday);
    Settings settings(home.iniPath());
    MailReminder reminder(settings, clock, home.home().logPath());
    reminder.setSmtpOptions(fast());
    QSignalSpy failed(&reminder, &MailReminder::failed);
    bool mailSent = false;
    QElapsedTimer timer;
    timer.start();
    reminder.check(mailSent, true, "me@velmora.test", data.dueSoon());
    QVERIFY2(timer.elapsed() < 1000, "the check waited for the network");
    QVERIFY(mailSent);
    QCOMPARE(settings.sendDate(), kToday);
    reminder.waitForSend();
    QCOMPARE(failed.count(), 1);
    QVERIFY2(failed.first().first().toString().contains(reason),
             qPrintable(failed.first().first().toString()));
    const QString log = logText(home);
    QVERIFY2(log.startsWith("2013-09-05 09:00:00 还款提醒邮件发送失败：") && log.contains(reason),
             qPrintable(log));

    // Not tried again today.
    reminder.check(mailSent, true, "me@velmora.test", data.dueSoon());
    QVERIFY(!reminder.isSending());
    QCOMPARE(failed.count(), 1);
    QCOMPARE(server.messageCount(), 0);
}

void TestMailReminder::remindCommand_data()
{
    QTest::addColumn<QString>("qy");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("mails");
    QTest::addColumn<QString>("output");
    QTest::newRow("sends") << "1" << QString() << 0 << 1
                           << "已发送还款提醒邮件（1张卡），收件人：me@velmora.test, you@velmora.test。";
    QTest::newRow("send fails") << "1"
                                << "wrong" << 1 << 0 << "还款提醒邮件发送失败：邮件服务器拒绝登录";
    QTest::newRow("switched off") << "0" << QString() << 0 << 0 << "还款提醒邮件未启用";
}

void TestMailReminder::remindCommand()
{
    QFETCH(QString, qy);
    QFETCH(QString, password);
    QFETCH(int, exitCode);
    QFETCH(int, mails);
    QFETCH(QString, output);
    SmtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    TempHome home;
    home.writeIni(iniText(qy, "me@velmora.test,you@velmora.test", QString(), "127.0.0.1", server.port(),
                          password.isNull() ? server.options().password : password));
    {
        Database db;
        db.open(home.databasePath());
        // Due on the 7th, two days after "today": the refresh pass puts it on the due-soon list.
        CardBuilder(db).name("A").number("1").statementDay(20).repaymentDay(7).ratio(0.1).used(1000).insert();
    }
    FixedClock clock(kToday);
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    QCOMPARE(runRemindCommand(home.home(), clock, out, err), exitCode);
    out.flush();
    err.flush();
    QVERIFY2((outText + errText).contains(output), qPrintable(outText + errText));
    QCOMPARE(server.messageCount(), mails);
    if (mails)
        QCOMPARE(server.message(0).value("rcpt_tos").toArray(),
                 QJsonArray({"me@velmora.test", "you@velmora.test"}));

    // Run again the same day: nothing more goes out, and that is no failure.
    if (qy == "1") {
        QCOMPARE(runRemindCommand(home.home(), clock, out, err), 0);
        QCOMPARE(server.messageCount(), mails);
    }
}

QTEST_GUILESS_MAIN(TestMailReminder)
#include "tst_mailreminder.moc"
