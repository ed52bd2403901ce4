#include "billing/RefreshPass.h"
#include "remind/MailMessage.h"
#include "remind/ReminderMail.h"
#include "remind/SmtpSender.h"
#include "store/DataModule.h"
#include "store/Error.h"
#include "support/CardBuilder.h"
#include "support/SmtpServer.h"
#include "support/TempHome.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTcpServer>
#include <QtTest>

namespace {

QString block(const QString& name, const QString& no, const QString& date, int days)
{
    return "卡名：" + name + "<br>卡号:" + no + "<br>还款日期：<span class=\"STYLE3\">" + date +
           "<br></span>剩下还款天数:" + QString::number(days) + "<br>---------------------------------<br>";
}

// Words of the library or the server ("Couldn't connect to server") are for the log, never in
// what the user reads; our own sentences name protocols in capitals at most.
bool hasEnglishWords(const QString& text)
{
    static const QRegularExpression address(QStringLiteral("[A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+"));
    static const QRegularExpression word(QStringLiteral("[a-z]{2,}"));
    return word.match(QString(text).remove(address)).hasMatch();
}

MailServerSettings serverFor(const SmtpServer& server)
{
    MailServerSettings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = server.port();
    s.user = server.options().user;
    s.password = server.options().password;
    s.from = QStringLiteral("Velmora提醒 <reminder@velmora.test>");
    s.security = MailServerSettings::Security::None; // the plain test server has no TLS
    return s;
}

SmtpSender::Job jobFor(const MailServerSettings& server, const Mail::Message& message)
{
    SmtpSender::Job job;
    job.server = server;
    job.envelopeFrom = message.from.envelope();
    for (const Mail::Address& a : message.to)
        job.recipients << a.envelope();
    job.message = Mail::compose(message);
    return job;
}

Mail::Message simpleMessage()
{
    Mail::Message m;
    m.from = Mail::parseAddress(QStringLiteral("reminder@velmora.test"));
    m.to = Mail::parseAddressList(QStringLiteral("me@velmora.test"));
    m.subject = QStringLiteral("A-还款日为:2013-9-5");
    m.htmlBody = QStringLiteral("卡名：A");
    m.date = QDateTime(QDate(2013, 9, 5), QTime(9, 0));
    return m;
}

// Short enough that a silent server is given up on quickly; long enough that an answering one on
// a loaded machine is never taken for silent.
SmtpSender::Options fastOptions(int responseSeconds = 10)
{
    SmtpSender::Options o;
    o.connectTimeoutSeconds = 10;
    o.responseTimeoutSeconds = responseSeconds;
    return o;
}

} // namespace

class TestMail : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void reminderTextOfTheDueSoonCards();
    void reminderTextMostUrgentFirst();
    void reminderTextLastFourOfForeignCard();
    void reminderTextLeavesOutDirectionControls();
    void receivedMessageReadsBack_data();
    void receivedMessageReadsBack();
    void addresses_data();
    void addresses();
    void failures_data();
    void failures();
    void retriesRefusedData_data();
    void retriesRefusedData();
    void misbehavingServers_data();
    void misbehavingServers();
    void recipientRefusals_data();
    void recipientRefusals();
    void realServers_data();
    void realServers();

private:
    TestCa m_ca;
};

void TestMail::reminderTextOfTheDueSoonCards()
{
    TempHome home;
    DataModule data;
    data.open(home.databasePath());
    CardBuilder cards(data.database());
    cards.name("A").number("6222 0000 1234 5678").daysLeft(0).set("c_re_date", QDate(2013, 9, 5)).insert();
    cards.name("X")
        .number("1")
        .daysLeft(1)
        .repaid(true, 9, 2013)
        .set("c_re_date", QDate(2013, 9, 6))
        .insert();
    cards.name("B<&>").number("6222-0000-1234-0002").daysLeft(2).set("c_re_date", QDate(2013, 9, 7)).insert();
    cards.name("C").number("3").daysLeft(3).set("c_re_date", QDate(2013, 9, 8)).insert();
    const QList<DueSoonCard> list = readDueSoonCards(data.database());

    // The subject names the most urgent card, the list's first.
    QCOMPARE(ReminderMail::subject(list), QStringLiteral("A-还款日为:2013-9-5"));
    // Only the last four digits of a card number leave the program by mail.
    QCOMPARE(ReminderMail::body(list),
             block("A", "尾号5678", "2013-9-5", 0) + block("B&lt;&amp;&gt;", "尾号0002", "2013-9-7", 2));
}

// The due-soon cards as the refresh pass reads them: the card due today leads body and subject,
// however the cards were entered.
void TestMail::reminderTextMostUrgentFirst()
{
    TempHome home;
    DataModule data;
    data.open(home.databasePath());
    CardBuilder cards(data.database());
    cards.name("B").number("0002").daysLeft(2).set("c_re_date", QDate(2027, 1, 2)).insert();
    cards.name("C").number("0003").daysLeft(1).set("c_re_date", QDate(2027, 1, 1)).insert();
    cards.name("A").number("0001").daysLeft(0).set("c_re_date", QDate(2026, 12, 31)).insert();
    const QList<DueSoonCard> list = readDueSoonCards(data.database());
    QCOMPARE(ReminderMail::subject(list), QStringLiteral("A-还款日为:2026-12-31"));
    QCOMPARE(ReminderMail::body(list), block("A", "尾号0001", "2026-12-31", 0) +
                                           block("C", "尾号0003", "2027-1-1", 1) +
                                           block("B", "尾号0002", "2027-1-2", 2));
}

// A card another tool wrote has no c_last4: the mail takes the last four of its number.
void TestMail::reminderTextLastFourOfForeignCard()
{
    TempHome home;
    DataModule data;
    data.open(home.databasePath());
    CardBuilder(data.database())
        .name("外来")
        .set("c_no", "6222 0000 1234 5678")
        .daysLeft(0)
        .set("c_re_date", QDate(2026, 12, 31))
        .insert();
    const QList<DueSoonCard> list = readDueSoonCards(data.database());
    QCOMPARE(ReminderMail::body(list), block("外来", "尾号5678", "2026-12-31", 0));
}

// A card name with direction controls would read otherwise in the subject and the body.
void TestMail::reminderTextLeavesOutDirectionControls()
{
    TempHome home;
    DataModule data;
    data.open(home.databasePath());
    CardBuilder(data.database())
        .name(QString::fromUtf16(u"\u202E外来\u2066"))
        .number("6222000012345678")
        .daysLeft(0)
        .set("c_re_date", QDate(2026, 12, 31))
        .insert();
    const QList<DueSoonCard> list = readDueSoonCards(data.database());
    QCOMPARE(ReminderMail::subject(list), QStringLiteral("外来-还款日为:2026-12-31"));
    QCOMPARE(ReminderMail::body(list), block("外来", "尾号5678", "2026-12-31", 0));
}

void TestMail::receivedMessageReadsBack_data()
{
    // clang-format off
    QTest::addColumn<QString>("cardName");
    QTest::addColumn<QString>("charset");
    QTest::newRow("gb2312")                 << "A"                           << "gb2312";
    QTest::newRow("outside gb2312")         << "朱镕基€卡"                   << "GB18030";
    QTest::newRow("emoji")                  << "卡😀"                        << "GB18030";
    QTest::newRow("long name, split words") << QString(40, u'长') + "信用卡" << "gb2312";
    QTest::newRow("line break in name")     << "A\r\nBcc: evil@velmora.test" << "gb2312";
    // clang-format on
}

// A message composed from the due-soon list goes through a real server and an independent
// parser reads back exactly what was meant.
void TestMail::receivedMessageReadsBack()
{
    QFETCH(QString, cardName);
    QFETCH(QString, charset);
    TempHome home;
    DataModule data;
    data.open(home.databasePath());
    CardBuilder cards(data.database());
    cards.name(cardName).number("6222 0001").daysLeft(0).set("c_re_date", QDate(2013, 9, 5)).insert();
    cards.name("B").number("6222 0002").daysLeft(2).set("c_re_date", QDate(2013, 9, 7)).insert();
    const QList<DueSoonCard> list = readDueSoonCards(data.database());

    SmtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    Mail::Message m;
    m.from = Mail::parseAddress(QStringLiteral("Velmora提醒 <reminder@velmora.test>"));
    m.to = Mail::parseAddressList(QStringLiteral(" me@velmora.test , 家人 <family@velmora.test>"));
    m.subject = ReminderMail::subject(list);
    m.htmlBody = ReminderMail::body(list);
    m.date = QDateTime(QDate(2013, 9, 5), QTime(9, 0));
    const SmtpSender::Result result = SmtpSender(fastOptions()).send(jobFor(serverFor(server), m));
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.attempts, 1);

    QCOMPARE(server.messageCount(), 1);
    const QJsonObject got = server.message(0);
    QVERIFY2(!got.contains("parse_error"), qPrintable(got.value("parse_error").toString()));
    QCOMPARE(got.value("mail_from").toString(), QStringLiteral("reminder@velmora.test"));
    QCOMPARE(got.value("rcpt_tos").toArray(), QJsonArray({"me@velmora.test", "family@velmora.test"}));
    QCOMPARE(got.value("from").toArray(), QJsonArray({"reminder@velmora.test"}));
    QCOMPARE(got.value("to").toArray(), QJsonArray({"me@velmora.test", "family@velmora.test"}));
    QCOMPARE(got.value("subject").toString(), cardName + "-还款日为:2013-9-5");
    QCOMPARE(got.value("body").toString(), block(cardName.toHtmlEscaped(), "尾号0001", "2013-9-5", 0) +
                                               block("B", "尾号0002", "2013-9-7", 2));
    QCOMPARE(got.value("content_type").toString(), QStringLiteral("text/html"));
    QCOMPARE(got.value("charset").toString(), charset.toLower()); // the parser lowers it
    QVERIFY(server.rawMessage(0).contains("charset=\"" + charset.toLatin1() + "\""));
    QCOMPARE(got.value("transfer_encoding").toString(), QStringLiteral("base64"));
    QCOMPARE(got.value("x_priority").toString(), QStringLiteral("1"));
    QCOMPARE(got.value("importance").toString(), QStringLiteral("High"));
    QCOMPARE(got.value("mime_version").toString(), QStringLiteral("1.0"));
    QVERIFY(got.value("has_date").toBool());
    QVERIFY(!got.value("message_id").toString().isEmpty());
    QVERIFY2(got.value("longest_header_line").toInt() <= 76,
             qPrintable(QString::number(got.value("longest_header_line").toInt())));
    QCOMPARE(got.value("defects").toArray(), QJsonArray());
    QVERIFY(!server.rawMessage(0).contains("\nBcc:"));
    QCOMPARE(server.authAttempts(), QStringList({"LOGIN ok"}));
}

void TestMail::addresses_data()
{
    // clang-format off
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected"); // empty: rejected
    QTest::newRow("plain")                << "me@velmora.test"                       << QStringList{"me@velmora.test"};
    QTest::newRow("two, blanks")          << " a@velmora.test ,b@velmora.test "      << QStringList{"a@velmora.test", "b@velmora.test"};
    QTest::newRow("full-width comma")     << "a@velmora.test，b@velmora.test"        << QStringList{"a@velmora.test", "b@velmora.test"};
    QTest::newRow("display name")         << "张三 <a@velmora.test>"                 << QStringList{"a@velmora.test"};
    QTest::newRow("international domain") << "a@例子.cn"                             << QStringList{"a@xn--fsqu00a.cn"};
    QTest::newRow("dot-less domain")      << "velmora@localhost"                     << QStringList{"velmora@localhost"};
    QTest::newRow("empty domain label")   << "a@velmora..test"                       << QStringList{};
    QTest::newRow("domain ends in a dot") << "a@localhost."                          << QStringList{};
    QTest::newRow("header injection")     << "a@velmora.test\r\nBcc: b@velmora.test" << QStringList{};
    QTest::newRow("blank inside")         << "a b@velmora.test"                      << QStringList{};
    QTest::newRow("no domain")            << "a@"                                    << QStringList{};
    QTest::newRow("no at")                << "velmora.test"                          << QStringList{};
    QTest::newRow("non-ASCII mailbox")    << "用户@velmora.test"                     << QStringList{};
    QTest::newRow("smuggled bracket")     << "a@velmora.test> <b@velmora.test"       << QStringList{};
    QTest::newRow("only commas")          << " , ,"                                  << QStringList{};
    // clang-format on
}

void TestMail::addresses()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    try {
        QStringList got;
        for (const Mail::Address& a : Mail::parseAddressList(text))
            got << a.address;
        QVERIFY2(!expected.isEmpty(), "accepted an unusable recipient text");
        QCOMPARE(got, expected);
    } catch (const Error& e) {
        QVERIFY2(expected.isEmpty(), qPrintable(e.message()));
        QVERIFY(!e.message().isEmpty());
    }
}

void TestMail::failures_data()
{
    // clang-format off
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("reason");
    QTest::newRow("server down")            << "down"     << "无法连接邮件服务器";
    QTest::newRow("wrong password")         << "password" << "拒绝登录";
    QTest::newRow("never answers")          << "silent"   << "没有及时响应";
    QTest::newRow("TLS asked, not offered") << "starttls" << "不支持加密连接";
    // clang-format on
}

void TestMail::failures()
{
    QFETCH(QString, mode);
    QFETCH(QString, reason);
    SmtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    MailServerSettings settings = serverFor(server);
    QTcpServer silent; // accepts connections (in the kernel) and never says a word
    if (mode == "down")
        settings.port = SmtpServer::unusedPort();
    else if (mode == "password")
        settings.password = QStringLiteral("wrong");
    else if (mode == "silent") {
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        settings.port = silent.serverPort();
    } else if (mode == "starttls")
        settings.security = MailServerSettings::Security::StartTls;

    const SmtpSender::Result result =
        SmtpSender(fastOptions(mode == "silent" ? 2 : 10)).send(jobFor(settings, simpleMessage()));
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(reason), qPrintable(result.error));
    QVERIFY2(!hasEnglishWords(result.error), qPrintable(result.error));
    QVERIFY2(hasEnglishWords(result.detail), qPrintable(result.detail)); // the library's words, for the log
    QCOMPARE(result.attempts, 1); // none of these gets better by trying again at once
    QCOMPARE(server.messageCount(), 0);
    if (mode == "starttls")
        QCOMPARE(server.authAttempts(), QStringList()); // the password never went out in clear
}

void TestMail::retriesRefusedData_data()
{
    // clang-format off
    QTest::addColumn<int>("refusals");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("two refusals, third attempt delivers") << 2 << true;
    QTest::newRow("three refusals, gives up")             << 3 << false;
    // clang-format on
}

void TestMail::retriesRefusedData()
{
    QFETCH(int, refusals);
    QFETCH(bool, delivered);
    SmtpServer::Options options;
    options.failData = refusals;
    SmtpServer server(options);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const SmtpSender::Result result =
        SmtpSender(fastOptions()).send(jobFor(serverFor(server), simpleMessage()));
    QCOMPARE(result.ok, delivered);
    QCOMPARE(result.attempts, 3);
    QCOMPARE(server.messageCount(), delivered ? 1 : 0);
    if (!delivered)
        QVERIFY2(result.error.contains("451"), qPrintable(result.error));
}

// Servers that go wrong mid-conversation: never a success reported for a mail that did not
// go out, never a long hang, and another try only for what may pass later.
void TestMail::misbehavingServers_data()
{
    // clang-format off
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("delivered");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("attempts");
    QTest::newRow("connection dropped mid-DATA") << "drop-data" << false << ""    << 3;
    QTest::newRow("4xx reply to RCPT")           << "rcpt-4xx"  << false << "450" << 3;
    QTest::newRow("554 to DATA, final")          << "data-554"  << false << "554" << 1;
    QTest::newRow("no AUTH offered")             << "no-auth"   << true  << ""    << 1;
    // clang-format on
}

void TestMail::misbehavingServers()
{
    QFETCH(QString, fault);
    QFETCH(bool, delivered);
    QFETCH(QString, reason);
    QFETCH(int, attempts);
    SmtpServer::Options options;
    options.fault = fault;
    SmtpServer server(options);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const SmtpSender::Result result =
        SmtpSender(fastOptions()).send(jobFor(serverFor(server), simpleMessage()));
    QCOMPARE(result.ok, delivered);
    QCOMPARE(result.attempts, attempts);
    QCOMPARE(server.messageCount(), delivered ? 1 : 0);
    if (!delivered) {
        QVERIFY(!result.error.isEmpty());
        QVERIFY2(result.error.contains(reason), qPrintable(result.error));
        QVERIFY2(!hasEnglishWords(result.error), qPrintable(result.error));
        QVERIFY(!result.detail.isEmpty());
    }
    if (fault == "no-auth")
        QCOMPARE(server.authAttempts(), QStringList()); // the password is not offered unasked
}

void TestMail::recipientRefusals_data()
{
    // clang-format off
    QTest::addColumn<QString>("recipients");
    QTest::addColumn<QStringList>("receivers"); // empty: nothing delivered
    QTest::newRow("one of two refused")   << "me@velmora.test, gone@velmora.test" << QStringList{"me@velmora.test"};
    QTest::newRow("the only one refused") << "gone@velmora.test"                  << QStringList{};
    // clang-format on
}

// A recipient refused for good (550) is named, the others get the mail, and nothing is tried twice.
void TestMail::recipientRefusals()
{
    QFETCH(QString, recipients);
    QFETCH(QStringList, receivers);
    SmtpServer::Options options;
    options.rejectRcpt = QStringLiteral("gone@velmora.test");
    SmtpServer server(options);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    Mail::Message m = simpleMessage();
    m.to = Mail::parseAddressList(recipients);
    const SmtpSender::Result result = SmtpSender(fastOptions()).send(jobFor(serverFor(server), m));
    QCOMPARE(result.attempts, 1);
    QCOMPARE(server.transactions(), 1);
    QCOMPARE(result.ok, !receivers.isEmpty());
    QCOMPARE(server.messageCount(), receivers.isEmpty() ? 0 : 1);
    if (result.ok) {
        QCOMPARE(server.message(0).value("rcpt_tos").toArray(), QJsonArray::fromStringList(receivers));
        QCOMPARE(result.rejected.size(), 1);
        QVERIFY2(result.rejected.first().startsWith("gone@velmora.test（550"),
                 qPrintable(result.rejected.first()));
        QCOMPARE(result.rejectedShown,
                 QStringList{"gone@velmora.test（550）"}); // the reply's words: log only
    } else {
        QVERIFY2(result.error.endsWith("拒收了全部收件人：gone@velmora.test（550）"),
                 qPrintable(result.error));
        QVERIFY2(result.detail.contains("gone@velmora.test（550 "), qPrintable(result.detail));
    }
}

void TestMail::initTestCase()
{
    QVERIFY2(m_ca.make(), qPrintable(m_ca.errorString()));
    QVERIFY2(m_ca.issue("local", "127.0.0.1"), qPrintable(m_ca.errorString()));
    QVERIFY2(m_ca.issue("other", "mail.other.test"), qPrintable(m_ca.errorString()));
}

void TestMail::realServers_data()
{
    // clang-format off
    using S = MailServerSettings::Security;
    QTest::addColumn<QString>("tls");         // what the server offers: "", "starttls", "ssl"
    QTest::addColumn<QString>("certificate"); // "local" (for 127.0.0.1) or "other" (another name)
    QTest::addColumn<bool>("plainOnly");      // the server offers AUTH PLAIN but not LOGIN
    QTest::addColumn<S>("security");
    QTest::addColumn<bool>("trustCa");    // smtp_ca_file names the test CA
    QTest::addColumn<QString>("outcome"); // the login the server saw, or the reason of the failure

    QTest::newRow("STARTTLS, test CA trusted") << "starttls" << "local" << false << S::StartTls << true << "LOGIN ok tls";
    QTest::newRow("SSL, test CA trusted") << "ssl" << "local" << false << S::Ssl << true << "LOGIN ok tls";
    QTest::newRow("STARTTLS, system CAs only") << "starttls" << "local" << false << S::StartTls << false << "127.0.0.1 的证书验证失败";
    QTest::newRow("SSL, system CAs only") << "ssl" << "local" << false << S::Ssl << false << "127.0.0.1 的证书验证失败";
    QTest::newRow("certificate for another name") << "starttls" << "other" << false << S::StartTls << true << "127.0.0.1 的证书验证失败";
    QTest::newRow("none still upgrades") << "starttls" << "local" << false << S::None << true << "LOGIN ok tls";
    QTest::newRow("none, upgrade unverifiable: no clear text") << "starttls" << "local" << false << S::None << false << "证书验证失败";
    QTest::newRow("PLAIN only, over STARTTLS") << "starttls" << "local" << true << S::StartTls << true << "PLAIN ok tls";
    QTest::newRow("PLAIN only, no TLS, none") << "" << "local" << true << S::None << false << "PLAIN ok";
    // clang-format on
}

// Real servers with TLS from a CA the test made: the certificate and the host name are always
// checked, the private CA is trusted only through smtp_ca_file, an offered STARTTLS is always
// taken before the password goes out, and LOGIN gives way to PLAIN when that is all there is.
void TestMail::realServers()
{
    QFETCH(QString, tls);
    QFETCH(QString, certificate);
    QFETCH(bool, plainOnly);
    QFETCH(MailServerSettings::Security, security);
    QFETCH(bool, trustCa);
    QFETCH(QString, outcome);
    SmtpServer::Options options;
    options.tls = tls;
    options.certFile = m_ca.certFile(certificate);
    options.keyFile = m_ca.keyFile(certificate);
    options.plainOnly = plainOnly;
    SmtpServer server(options);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    MailServerSettings settings = serverFor(server);
    settings.security = security;
    if (trustCa)
        settings.caFile = m_ca.caFile();

    const SmtpSender::Result result = SmtpSender(fastOptions()).send(jobFor(settings, simpleMessage()));
    const bool delivered = outcome.contains(" ok");
    QVERIFY2(result.ok == delivered, qPrintable(result.error));
    QCOMPARE(result.attempts, 1);
    QCOMPARE(server.messageCount(), delivered ? 1 : 0);
    if (delivered) {
        QCOMPARE(server.authAttempts(), QStringList{outcome});
    } else {
        QVERIFY2(result.error.contains(outcome), qPrintable(result.error));
        QCOMPARE(server.authAttempts(), QStringList()); // the password never went out
    }
}

QTEST_GUILESS_MAIN(TestMail)
#include "tst_mail.moc"
