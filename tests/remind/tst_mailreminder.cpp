#include "billing/RefreshPass.h"
#include "remind/MailReminder.h"
#include "remind/RemindCommand.h"
#include "store/DataModule.h"
#include "store/DateText.h"
#include "store/Settings.h"
#include "support/CardBuilder.h"
#include "support/SmtpServer.h"
#include "support/TempHome.h"

#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QtTest>
#include <memory>

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

// Short enough that a silent server is given up on quickly; long enough that an answering one on
// a loaded machine is never taken for silent.
SmtpSender::Options fast(int responseSeconds = 10)
{
    SmtpSender::Options o;
    o.connectTimeoutSeconds = 10;
    o.responseTimeoutSeconds = responseSeconds;
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
    void refusedRecipientIsNamed();
    void settingProblemsLeaveTheDayOpen_data();
    void settingProblemsLeaveTheDayOpen();
    void remindCommand_data();
    void remindCommand();
    void concurrentRemindsMailOnce();
};

void TestMailReminder::dailyRules_data()
{
    // clang-format off
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
    QTest::newRow("two minimizes, one mail") << "1" << "me@velmora.test" << QString() << true << "mm" << 1 << today;
    QTest::newRow("restart same day, no mail") << "1" << "me@velmora.test" << QString() << true << "mrm" << 1 << today;
    QTest::newRow("next day after restart") << "1" << "me@velmora.test" << QString() << true << "mrdm" << 2 << tomorrow;
    QTest::newRow("run spanning two days") << "1" << "me@velmora.test" << QString() << true << "mmdm" << 2 << tomorrow;
    QTest::newRow("sent earlier today") << "1" << "me@velmora.test" << today << true << "m" << 0 << today;
    QTest::newRow("future senddate") << "1" << "me@velmora.test" << tomorrow << true << "m" << 1 << today;
    QTest::newRow("senddate not a date") << "1" << "me@velmora.test" << "abc" << true << "m" << 1 << today;
    QTest::newRow("senddate yesterday") << "1" << "me@velmora.test" << DateText::format(kToday.addDays(-1)) << true << "m" << 1 << today;
    QTest::newRow("empty list, later list") << "1" << "me@velmora.test" << QString() << false << "mlm" << 1 << today;
    QTest::newRow("empty list only") << "1" << "me@velmora.test" << QString() << false << "mm" << 0 << QString();
    QTest::newRow("qy off") << "0" << "me@velmora.test" << QString() << true << "mrdm" << 0 << QString();
    QTest::newRow("em blank") << "1" << "   " << QString() << true << "m" << 0 << QString();
    QTest::newRow("em empty") << "1" << "" << QString() << true << "m" << 0 << QString();
    // clang-format on
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
    // Before the first refresh of a run the window has no due-soon cards yet.
    QList<DueSoonCard> list = listLoaded ? readDueSoonCards(data.database()) : QList<DueSoonCard>();

    FixedClock clock(kToday);
    Settings settings(home.iniPath());
    // A run: one reminder object, and what the main window read at start-up.
    std::unique_ptr<MailReminder> reminder;
    bool mailOn = false;
    QString mailTo;
    int failures = 0;
    auto startRun = [&] {
        reminder = std::make_unique<MailReminder>(settings, clock, home.home().logPath());
        reminder->setSmtpOptions(fast());
        connect(reminder.get(), &MailReminder::failed, this, [&] { ++failures; });
        mailOn = settings.mailOn();
        mailTo = settings.mailTo();
    };
    startRun();
    for (QChar step : steps) {
        switch (step.unicode()) {
        case 'm':
            reminder->check(mailOn, mailTo, list);
            reminder->waitForSend();
            break;
        case 'r':
            startRun();
            break;
        case 'd':
            clock.advanceDays(1);
            break;
        case 'l':
            list = readDueSoonCards(data.database());
            break;
        }
    }
    QCOMPARE(failures, 0);
    QCOMPARE(server.messageCount(), mails);
    QCOMPARE(settings.file().readText(Settings::kSection, "senddate"), finalSenddate);
    if (mails > 0) {
        QCOMPARE(server.message(0).value("subject").toString(), "A-还款日为:2013-9-5");
        QVERIFY(logText(home).contains("还款提醒邮件已发送，收件人：me@velmora.test"));
    }
}

void TestMailReminder::failureIsLoggedAndReported_data()
{
    // clang-format off
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong password")       << "password" << "拒绝登录";
    QTest::newRow("server never answers") << "silent"   << "没有及时响应";
    // clang-format on
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
    else
        home.writeIni(iniText("1", "me@velmora.test", QString(), "127.0.0.1", silent.serverPort(), "x"));
    DataModule data;
    data.open(home.databasePath());
    seedDueCards(data.database());
    const QList<DueSoonCard> due = readDueSoonCards(data.database());

    FixedClock clock(kToday);
    Settings settings(home.iniPath());
    MailReminder reminder(settings, clock, home.home().logPath());
    reminder.setSmtpOptions(fast(mode == "silent" ? 2 : 10));
    QSignalSpy failed(&reminder, &MailReminder::failed);
    QCOMPARE(reminder.check(true, "me@velmora.test", due), MailReminder::Outcome::Sending);
    // The check came back before the server's answer: the outcome still travels to us.
    QVERIFY2(reminder.isSending() && failed.isEmpty(), "the check waited for the network");
    QCOMPARE(settings.sendDate(), kToday);
    reminder.waitForSend();
    QCOMPARE(failed.count(), 1);
    const QString told = failed.first().first().toString();
    QVERIFY2(told.contains(reason), qPrintable(told));
    // The user reads one Chinese sentence; the log keeps the library's words after it.
    static const QRegularExpression englishWord(QStringLiteral("[a-z]{2,}"));
    QVERIFY2(!englishWord.match(told).hasMatch(), qPrintable(told));
    const QString log = logText(home);
    QVERIFY2(log.startsWith("2013-09-05 09:00:00 还款提醒邮件发送失败：" + told + "（") &&
                 englishWord.match(log).hasMatch(),
             qPrintable(log));

    // Not tried again today.
    QCOMPARE(reminder.check(true, "me@velmora.test", due), MailReminder::Outcome::AttemptedToday);
    QVERIFY(!reminder.isSending());
    QCOMPARE(failed.count(), 1);
    QCOMPARE(server.messageCount(), 0);
}

// The server refuses one of two recipients: the other gets the mail, and the refused one is
// named in the log and by signal (the balloon).
void TestMailReminder::refusedRecipientIsNamed()
{
    SmtpServer::Options options;
    options.rejectRcpt = QStringLiteral("gone@velmora.test");
    SmtpServer server(options);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    TempHome home;
    home.writeIni(iniText("1", "me@velmora.test, gone@velmora.test", QString(), "127.0.0.1", server.port(),
                          server.options().password));
    DataModule data;
    data.open(home.databasePath());
    seedDueCards(data.database());
    const QList<DueSoonCard> due = readDueSoonCards(data.database());
    FixedClock clock(kToday);
    Settings settings(home.iniPath());
    MailReminder reminder(settings, clock, home.home().logPath());
    reminder.setSmtpOptions(fast());
    QSignalSpy rejected(&reminder, &MailReminder::partlyRejected);
    QSignalSpy failed(&reminder, &MailReminder::failed);
    reminder.check(true, settings.mailTo(), due);
    reminder.waitForSend();
    QCOMPARE(failed.count(), 0);
    QCOMPARE(server.messageCount(), 1);
    QCOMPARE(server.message(0).value("rcpt_tos").toArray(), QJsonArray({"me@velmora.test"}));
    QCOMPARE(rejected.count(), 1);
    const QString reason = rejected.first().first().toString();
    // The balloon names the address and the reply code; the log keeps the server's words.
    QCOMPARE(reason, QStringLiteral("邮件服务器拒收了收件人：gone@velmora.test（550）"));
    QVERIFY2(logText(home).contains("邮件服务器拒收了收件人：gone@velmora.test（550 "),
             qPrintable(logText(home)));
}

void TestMailReminder::settingProblemsLeaveTheDayOpen_data()
{
    // clang-format off
    QTest::addColumn<QString>("em");
    QTest::addColumn<QString>("server"); // the section 邮件服务器, %1 = the test server's port
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("reason");
    const QString good = QStringLiteral("[邮件服务器]\r\nsmtp_host=127.0.0.1\r\nsmtp_port=%1\r\nsmtp_user="
                                        "reminder@velmora.test\r\nsmtp_password=s3cret-密码\r\n"
                                        "smtp_from=reminder@velmora.test\r\nsmtp_security=none\r\n");
    QTest::newRow("no server section")
        << "me@velmora.test" << QString() << int(MailReminder::Outcome::NotConfigured)
        << "尚未设置发送提醒邮件的邮件服务器";
    QTest::newRow("old placeholder host")
        << "me@velmora.test" << QString(good).replace("127.0.0.1", "smtp.example.com")
        << int(MailReminder::Outcome::NotConfigured) << "尚未设置发送提醒邮件的邮件服务器";
    QTest::newRow("recipients only commas") << " , , " << good << int(MailReminder::Outcome::BadRecipient) << "收件人Email“, ,”无法使用";
    QTest::newRow("recipient unusable")
        << "me@velmora.test, you at velmora" << good << int(MailReminder::Outcome::BadRecipient)
        << "收件人Email“me@velmora.test, you at velmora”无法使用";
    // clang-format on
}

// A setting the mail cannot go out with leaves senddate alone and is told once a day; once it
// is mended, the mail goes out the same day.
void TestMailReminder::settingProblemsLeaveTheDayOpen()
{
    QFETCH(QString, em);
    QFETCH(QString, server);
    QFETCH(int, outcome);
    QFETCH(QString, reason);
    SmtpServer smtp;
    QVERIFY2(smtp.start(), qPrintable(smtp.errorString()));
    TempHome home;
    home.writeIni("[系统设置]\r\nqy=1\r\nem=" + em + "\r\n" +
                  (server.isEmpty() ? server : server.arg(smtp.port())));
    DataModule data;
    data.open(home.databasePath());
    seedDueCards(data.database());
    const QList<DueSoonCard> due = readDueSoonCards(data.database());

    FixedClock clock(kToday);
    Settings settings(home.iniPath());
    MailReminder reminder(settings, clock, home.home().logPath());
    reminder.setSmtpOptions(fast());
    QSignalSpy failed(&reminder, &MailReminder::failed);
    for (int hide = 0; hide < 2; ++hide)
        QCOMPARE(int(reminder.check(true, settings.mailTo(), due)), outcome);
    QCOMPARE(failed.count(), 1);
    QVERIFY2(failed.first().first().toString().contains(reason),
             qPrintable(failed.first().first().toString()));
    QVERIFY2(logText(home).contains("还款提醒邮件没有发送：" + reason), qPrintable(logText(home)));
    QCOMPARE(settings.file().readText(Settings::kSection, "senddate"), QString());

    // Mended the same day: the next hide mails.
    home.writeIni("[系统设置]\r\nqy=1\r\nem=me@velmora.test\r\n" + smtp.settingsSection());
    QCOMPARE(reminder.check(true, settings.mailTo(), due), MailReminder::Outcome::Sending);
    reminder.waitForSend();
    QCOMPARE(smtp.messageCount(), 1);
    QCOMPARE(settings.sendDate(), kToday);
}

void TestMailReminder::remindCommand_data()
{
    // clang-format off
    QTest::addColumn<QString>("qy");
    QTest::addColumn<QString>("em");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("mails");
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("dayRecorded"); // senddate = today afterwards
    const QString two = QStringLiteral("me@velmora.test,you@velmora.test");
    QTest::newRow("sends") << "1" << two << "127.0.0.1" << QString() << 0 << 1
                           << "已发送还款提醒邮件（1张卡），收件人：me@velmora.test, you@velmora.test。"
                           << true;
    QTest::newRow("send fails")   << "1" << two << "127.0.0.1" << "wrong"   << 1 << 0 << "还款提醒邮件发送失败：邮件服务器拒绝登录" << true;
    QTest::newRow("switched off") << "0" << two << "127.0.0.1" << QString() << 0 << 0 << "还款提醒邮件未启用"                       << false;
    QTest::newRow("no server configured")
        << "1" << two << "" << QString() << 1 << 0 << "还款提醒邮件没有发送：尚未设置发送提醒邮件的邮件服务器"
        << false;
    QTest::newRow("no usable recipient") << "1" << " , , " << "127.0.0.1" << QString() << 1 << 0 << "收件人Email“, ,”无法使用" << false;
    // clang-format on
}

void TestMailReminder::remindCommand()
{
    QFETCH(QString, qy);
    QFETCH(QString, em);
    QFETCH(QString, host);
    QFETCH(QString, password);
    QFETCH(int, exitCode);
    QFETCH(int, mails);
    QFETCH(QString, output);
    QFETCH(bool, dayRecorded);
    SmtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    TempHome home;
    home.writeIni(iniText(qy, em, QString(), host, server.port(),
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
    const Settings settings(home.iniPath());
    QCOMPARE(settings.file().readText(Settings::kSection, "senddate"),
             dayRecorded ? DateText::format(kToday) : QString());

    // Run again the same day: nothing more goes out, and that is no failure once the day is done.
    if (dayRecorded) {
        QCOMPARE(runRemindCommand(home.home(), clock, out, err), 0);
        QCOMPARE(server.messageCount(), mails);
    }
}

// Six `velmora --remind` started together on one home: exactly one mail goes out.
void TestMailReminder::concurrentRemindsMailOnce()
{
    const QDate today = QDate::currentDate(); // the program runs on the real clock
    if (today.day() > 28)
        QSKIP("the card's repayment day must be 1..28");
    SmtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    TempHome home;
    home.writeIni(
        iniText("1", "me@velmora.test", QString(), "127.0.0.1", server.port(), server.options().password));
    {
        Database db;
        db.open(home.databasePath());
        // Repayment today: on the due-soon list whatever the statement day.
        CardBuilder(db)
            .name("A")
            .number("1")
            .statementDay(today.day())
            .repaymentDay(today.day())
            .ratio(0.1)
            .used(1000)
            .insert();
    }
    QList<QProcess*> runs;
    for (int i = 0; i < 6; ++i) {
        auto* run = new QProcess(this);
        run->start(QStringLiteral(VELMORA_EXECUTABLE), {QStringLiteral("--remind")});
        runs << run;
    }
    int mailed = 0;
    QString outputs;
    for (QProcess* run : runs) {
        QVERIFY(run->waitForFinished(60000));
        const QString out = QString::fromUtf8(run->readAllStandardOutput() + run->readAllStandardError());
        outputs += out;
        QVERIFY2(run->exitCode() == 0, qPrintable(out));
        if (out.contains("已发送还款提醒邮件"))
            ++mailed;
        delete run;
    }
    QVERIFY2(outputs.contains("3天内需还款：1张"), qPrintable(outputs));
    QCOMPARE(mailed, 1);
    QCOMPARE(server.messageCount(), 1);
    QCOMPARE(Settings(home.iniPath()).sendDate(), today);
}

QTEST_GUILESS_MAIN(TestMailReminder)
#include "tst_mailreminder.moc"
