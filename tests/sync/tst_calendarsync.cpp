#include "app/AppAssembly.h"
#include "app/MainWindow.h"
#include "billing/RepaymentCalendar.h"
#include "remind/ReminderWindow.h"
#include "store/Clock.h"
#include "store/Database.h"
#include "store/SecretStore.h"
#include "store/SettingKeys.h"
#include "store/Settings.h"
#include "support/CardBuilder.h"
#include "support/RadicaleServer.h"
#include "support/SmtpServer.h"
#include "support/TempHome.h"
#include "sync/BackgroundSync.h"
#include "sync/CalendarSync.h"
#include "sync/CalendarSyncDialog.h"
#include "sync/SyncCommand.h"
#include "ui/AppContext.h"
#include "ui/MessageBox.h"

#include <QBuffer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimeZone>
#include <QtTest>

namespace {

// "uid|start|summary" of every VEVENT in some calendar texts, sorted: what a calendar shows.
QStringList eventsIn(const QList<QByteArray>& calendars)
{
    QStringList out;
    for (QByteArray text : calendars) {
        text.replace("\r\n ", "").replace("\n ", "");
        QString uid, start, summary;
        bool inEvent = false, inAlarm = false;
        for (QByteArray line : text.split('\n')) {
            line = line.trimmed();
            if (line == "BEGIN:VEVENT")
                inEvent = true;
            else if (line == "BEGIN:VALARM")
                inAlarm = true;
            else if (line == "END:VALARM")
                inAlarm = false;
            else if (line == "END:VEVENT") {
                out << uid + u'|' + start + u'|' + summary;
                inEvent = false;
            } else if (inEvent && !inAlarm) {
                const QString value = QString::fromUtf8(line.mid(line.indexOf(':') + 1));
                if (line.startsWith("UID:"))
                    uid = value;
                else if (line.startsWith("DTSTART"))
                    start = value;
                else if (line.startsWith("SUMMARY:"))
                    summary = value;
            }
        }
    }
    out.sort();
    return out;
}

const QByteArray kForeignEvent = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Other//EN\r\n"
                                 "BEGIN:VEVENT\r\nUID:dentist-42@example.org\r\nDTSTAMP:20261201T080000Z\r\n"
                                 "DTSTART;VALUE=DATE:20261207\r\nDTEND;VALUE=DATE:20261208\r\n"
                                 "SUMMARY:看牙\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";

} // namespace

// The repayment events kept in a CalDAV calendar, against a real Radicale server.
class TestCalendarSync : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void ownUidsOnly_data();
    void ownUidsOnly();
    void serverCopyComparedByContent_data();
    void serverCopyComparedByContent();
    void roundTripFollowsIcs();
    void failuresLeaveCalendarAlone_data();
    void failuresLeaveCalendarAlone();
    void tlsTrustsOnlyTheChosenCa();
    void executableReportsFailure();
    void backgroundSyncTellsEachFailureOnce();
    void dialogTestsAndSaves();
    void windowSyncsAfterEachRefresh();

private:
    struct Fixture
    {
        TempHome home;
        FixedClock clock{QDate(2026, 12, 5)};
        int merchants = 0, industrial = 0, construction = 0;
    };
    static void seedCards(Fixture& f);
    static void configure(const TempHome& home, const QString& url, const QString& user,
                          const QString& password, const QString& caFile = {});
    static int runSync(Fixture& f, QString* output = nullptr);
    static QStringList icsEvents(Fixture& f);
    static bool startServer(RadicaleServer& server);
};

void TestCalendarSync::init()
{
    MessageBox::clearShownTexts();
}

bool TestCalendarSync::startServer(RadicaleServer& server)
{
    if (!server.start()) {
        qWarning() << server.errorString();
        return false;
    }
    server.makeCollection(QStringLiteral("cards"));
    return true;
}

void TestCalendarSync::seedCards(Fixture& f)
{
    Database db;
    db.open(f.home.databasePath());
    f.merchants =
        CardBuilder(db).name("招行").number("6225880123456789").statementDay(20).repaymentDay(7).insert();
    f.industrial =
        CardBuilder(db).name("工行").number("6222020200001234").statementDay(1).repaymentDay(25).insert();
    f.construction = CardBuilder(db).name("建行").statementDay(10).repaymentDay(28).insert();
}

void TestCalendarSync::configure(const TempHome& home, const QString& url, const QString& user,
                                 const QString& password, const QString& caFile)
{
    Settings settings(home.iniPath());
    CalendarSyncSettings s;
    s.url = url;
    s.user = user;
    s.password = password;
    s.caFile = caFile;
    const SecretStore noKeyring(std::chrono::milliseconds(0));
    s.save(settings, &noKeyring);
}

int TestCalendarSync::runSync(Fixture& f, QString* output)
{
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const int code = runSyncCalendarCommand(f.home.home(), f.clock, outStream, errStream);
    outStream.flush();
    errStream.flush();
    if (output)
        *output = code == 0 ? out : err;
    return code;
}

QStringList TestCalendarSync::icsEvents(Fixture& f)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString err;
    QTextStream errStream(&err);
    if (RepaymentCalendar::runCommand(f.home.home(), f.clock, buffer, errStream) != 0)
        return {err};
    return eventsIn({buffer.data()});
}

void TestCalendarSync::ownUidsOnly_data()
{
    QTest::addColumn<QString>("uid");
    QTest::addColumn<bool>("own");
    QTest::newRow("ours") << "velmora-card12-20261207@velmora" << true;
    QTest::newRow("someone else's") << "dentist-42@example.org" << false;
    QTest::newRow("ours as a prefix only") << "velmora-card12-20261207@velmora.example" << false;
    QTest::newRow("lookalike date") << "velmora-card12-2026127@velmora" << false;
    QTest::newRow("empty") << "" << false;
}

void TestCalendarSync::ownUidsOnly()
{
    QFETCH(QString, uid);
    QFETCH(bool, own);
    QCOMPARE(CalendarSync::isOwnUid(uid), own);
}

void TestCalendarSync::serverCopyComparedByContent_data()
{
    RepaymentCalendar::Event e;
    e.cardId = 3;
    e.date = QDate(2026, 12, 7);
    e.summary = QStringLiteral("还款：招行, 信用卡 尾号6789") + QString(30, u'卡');
    e.description = QStringLiteral("最低还款额：120元\n账单日：2026-11-20");
    e.uid = QStringLiteral("velmora-card3-20261207@velmora");
    const QByteArray ours =
        RepaymentCalendar::eventText(e, QDateTime(QDate(2026, 12, 5), QTime(9, 0), QTimeZone::utc()));

    // A server's own copy: other stamp, other order, other folding, lines of its own.
    QByteArray reordered = ours;
    reordered.replace("DTSTAMP:20261205T090000Z\r\n", "");
    reordered.replace("TRANSP:TRANSPARENT\r\n",
                      "TRANSP:TRANSPARENT\r\nDTSTAMP:20270101T000000Z\r\nSEQUENCE:0\r\n");
    reordered.replace("\r\n ", "");
    QByteArray otherDate = ours;
    otherDate.replace("DTSTART;VALUE=DATE:20261207", "DTSTART;VALUE=DATE:20261209");
    QByteArray noAlarm = ours;
    noAlarm.replace("TRIGGER:-P2D\r\n", "");

    QTest::addColumn<QByteArray>("ours");
    QTest::addColumn<QByteArray>("theirs");
    QTest::addColumn<bool>("same");
    QTest::newRow("as sent") << ours << ours << true;
    QTest::newRow("stamped, ordered and folded anew") << ours << reordered << true;
    QTest::newRow("another date") << ours << otherDate << false;
    QTest::newRow("alarm lost") << ours << noAlarm << false;
}

void TestCalendarSync::serverCopyComparedByContent()
{
    QFETCH(QByteArray, ours);
    QFETCH(QByteArray, theirs);
    QFETCH(bool, same);
    QCOMPARE(CalendarSync::sameEvent(ours, theirs), same);
    QCOMPARE(CalendarSync::uidOf(theirs), QStringLiteral("velmora-card3-20261207@velmora"));
}

void TestCalendarSync::roundTripFollowsIcs()
{
    if (!RadicaleServer::installed())
        QSKIP("radicale is not installed");
    RadicaleServer server;
    QVERIFY(startServer(server));
    server.putObject(QStringLiteral("cards"), QStringLiteral("dentist.ics"), kForeignEvent);
    Fixture f;
    seedCards(f);
    configure(f.home, server.url(QStringLiteral("cards")), server.options().user, server.options().password);
    const auto onServer = [&] {
        auto objects = server.objects(QStringLiteral("cards"));
        objects.remove(QStringLiteral("dentist.ics"));
        return eventsIn(objects.values());
    };
    const auto foreignKept = [&] {
        return server.objects(QStringLiteral("cards")).value(QStringLiteral("dentist.ics")) == kForeignEvent;
    };

    QString output;
    QCOMPARE(runSync(f, &output), 0);
    QCOMPARE(icsEvents(f).size(), 6);
    QCOMPARE(onServer(), icsEvents(f));
    QVERIFY(foreignKept());
    QCOMPARE(server.requestCount("PUT"), 6);
    QVERIFY2(output.contains(QStringLiteral("新增6个")), qPrintable(output));

    // Nothing changed, a day later (another stamp): nothing is sent.
    f.clock.advanceDays(1);
    QCOMPARE(runSync(f, &output), 0);
    QCOMPARE(server.requestCount("PUT"), 6);
    QCOMPARE(server.requestCount("DELETE"), 0);
    QVERIFY2(output.contains(QStringLiteral("未变6个")), qPrintable(output));

    // A changed repayment day, a card repaid for this month, a renamed card.
    {
        Database db;
        db.open(f.home.databasePath());
        db.executeSql(QStringLiteral("UPDATE txyk SET c_hkr = 9 WHERE id = ?"), {f.merchants});
        db.executeSql(QStringLiteral("UPDATE txyk SET tf = 1, i_hkm = 12, i_hky = 2026 WHERE id = ?"),
                      {f.industrial});
        db.executeSql(QStringLiteral("UPDATE txyk SET c_name = ? WHERE id = ?"),
                      {QStringLiteral("建设银行"), f.construction});
    }
    QCOMPARE(runSync(f, &output), 0);
    const QStringList expected = icsEvents(f);
    QCOMPARE(expected.size(), 5); // 招行 twice on the 9th, 工行 next month only, 建行 twice
    QCOMPARE(onServer(), expected);
    QVERIFY(foreignKept());
    // Two new dates created, two renamed events replaced; the old dates and the repaid one gone.
    QCOMPARE(server.requestCount("PUT"), 6 + 4);
    QCOMPARE(server.requestCount("DELETE"), 3);
    QVERIFY2(output.contains(QStringLiteral("新增2个，更新2个，删除3个，未变1个")), qPrintable(output));

    // A run cut short or a calendar changed elsewhere (an event of ours lost, a stale one of ours
    // left) is put right by the next run; nothing is kept locally that could disagree.
    const QString lost = server.objects(QStringLiteral("cards")).lastKey();
    QVERIFY(lost != QStringLiteral("dentist.ics"));
    server.removeObject(QStringLiteral("cards"), lost);
    server.putObject(
        QStringLiteral("cards"), QStringLiteral("stale.ics"),
        QByteArray(kForeignEvent).replace("dentist-42@example.org", "velmora-card99-20261230@velmora"));
    QCOMPARE(runSync(f, &output), 0);
    QVERIFY2(output.contains(QStringLiteral("新增1个，更新0个，删除1个，未变4个")), qPrintable(output));
    QCOMPARE(onServer(), expected);
    QVERIFY(foreignKept());
}

void TestCalendarSync::failuresLeaveCalendarAlone_data()
{
    QTest::addColumn<QString>("collection"); // a name under the user, or a whole URL
    QTest::addColumn<QString>("password");   // empty: the right one
    QTest::addColumn<QString>("message");
    QTest::newRow("wrong password") << "cards"
                                    << "wrong"
                                    << "日历服务器拒绝登录，请检查用户名和密码。";
    QTest::newRow("an address book") << "contacts"
                                     << ""
                                     << "不是日历";
    QTest::newRow("the account, not a calendar") << ""
                                                 << ""
                                                 << "不是日历";
    QTest::newRow("no such collection") << "missing"
                                        << ""
                                        << "不是日历";
    QTest::newRow("nothing listening") << "http://127.0.0.1:%1/alice/cards/"
                                       << ""
                                       << "无法连接日历服务器 127.0.0.1:";
    QTest::newRow("unencrypted to another machine") << "http://calendar.example.org/alice/cards/"
                                                    << ""
                                                    << "未加密（http）";
    QTest::newRow("not http") << "ftp://127.0.0.1/alice/cards/"
                              << ""
                              << "无效";
}

void TestCalendarSync::failuresLeaveCalendarAlone()
{
    QFETCH(QString, collection);
    QFETCH(QString, password);
    QFETCH(QString, message);
    if (!RadicaleServer::installed())
        QSKIP("radicale is not installed");
    RadicaleServer server;
    QVERIFY(startServer(server));
    server.makeCollection(QStringLiteral("contacts"), QStringLiteral("VADDRESSBOOK"));
    server.putObject(QStringLiteral("cards"), QStringLiteral("dentist.ics"), kForeignEvent);
    Fixture f;
    seedCards(f);
    const QString url = collection.contains(u"%1")  ? collection.arg(SmtpServer::unusedPort())
                        : collection.contains(u':') ? collection
                        : collection.isEmpty()      ? server.url(QString()).chopped(1)
                                                    : server.url(collection);
    configure(f.home, url, server.options().user, password.isEmpty() ? server.options().password : password);

    QString error;
    QCOMPARE(runSync(f, &error), 1);
    QVERIFY2(error.contains(message), qPrintable(error));
    QCOMPARE(error.count(u'\n'), 1); // one sentence
    QCOMPARE(server.requestCount("PUT") + server.requestCount("DELETE"), 0);
    QCOMPARE(server.objects(QStringLiteral("cards")).keys(), QStringList{QStringLiteral("dentist.ics")});
}

void TestCalendarSync::tlsTrustsOnlyTheChosenCa()
{
    if (!RadicaleServer::installed())
        QSKIP("radicale is not installed");
    TestCa ca;
    QVERIFY2(ca.make() && ca.issue(QStringLiteral("server"), QStringLiteral("127.0.0.1")),
             qPrintable(ca.errorString()));
    RadicaleServer::Options options;
    options.certFile = ca.certFile(QStringLiteral("server"));
    options.keyFile = ca.keyFile(QStringLiteral("server"));
    RadicaleServer server(options);
    QVERIFY(startServer(server));
    Fixture f;
    seedCards(f);
    QVERIFY(server.url(QStringLiteral("cards")).startsWith(QStringLiteral("https://")));

    // The system's roots do not know the test's CA: refused before any password is sent.
    configure(f.home, server.url(QStringLiteral("cards")), options.user, options.password);
    QString output;
    QCOMPARE(runSync(f, &output), 1);
    QVERIFY2(output.contains(QStringLiteral("证书验证失败")), qPrintable(output));
    QVERIFY(server.objects(QStringLiteral("cards")).isEmpty());

    configure(f.home, server.url(QStringLiteral("cards")), options.user, options.password, ca.caFile());
    QCOMPARE(runSync(f, &output), 0);
    QCOMPARE(eventsIn(server.objects(QStringLiteral("cards")).values()), icsEvents(f));
}

void TestCalendarSync::executableReportsFailure()
{
    TempHome home;
    Database().open(home.databasePath()); // a new, empty one
    QProcess velmora;
    velmora.setProcessEnvironment(QProcessEnvironment::systemEnvironment()); // VELMORA_HOME of `home`
    velmora.start(QStringLiteral(VELMORA_EXECUTABLE), {QStringLiteral("--sync-calendar")});
    QVERIFY(velmora.waitForFinished(60000));
    QCOMPARE(velmora.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(velmora.readAllStandardError()),
             QStringLiteral("velmora: 尚未设置日历同步，请在“系统设置”中点击“日历同步…”填写日历地址。\n"));

    configure(home, QStringLiteral("http://127.0.0.1:%1/alice/cards/").arg(SmtpServer::unusedPort()),
              QStringLiteral("alice"), QStringLiteral("pw"));
    velmora.start(QStringLiteral(VELMORA_EXECUTABLE), {QStringLiteral("--sync-calendar")});
    QVERIFY(velmora.waitForFinished(60000));
    QCOMPARE(velmora.exitCode(), 1);
    QVERIFY(QString::fromUtf8(velmora.readAllStandardError())
                .startsWith(QStringLiteral("velmora: 无法连接日历服务器")));
}

void TestCalendarSync::backgroundSyncTellsEachFailureOnce()
{
    if (!RadicaleServer::installed())
        QSKIP("radicale is not installed");
    RadicaleServer server;
    QVERIFY(startServer(server));
    Fixture f;
    seedCards(f);
    Database db;
    db.open(f.home.databasePath());
    const auto events = RepaymentCalendar::events(readCardFacts(db), f.clock.today());
    CalendarSyncSettings s;
    s.url = server.url(QStringLiteral("cards"));
    s.user = server.options().user;
    s.password = QStringLiteral("wrong");

    BackgroundSync sync;
    QSignalSpy failed(&sync, &BackgroundSync::failed);
    QSignalSpy recovered(&sync, &BackgroundSync::recovered);
    QSignalSpy finished(&sync, &BackgroundSync::finished);
    sync.start(s, events, f.clock.now());
    sync.start(s, events, f.clock.now()); // asked again while running: runs after it
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 60000);
    QCOMPARE(failed.size(), 1); // the same failure is told once
    QVERIFY(failed.first().first().toString().contains(QStringLiteral("拒绝登录")));

    s.password = server.options().password;
    sync.start(s, events, f.clock.now());
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 3, 60000);
    QCOMPARE(finished.last().first().toString(), QString());
    QCOMPARE(recovered.size(), 1);
    QCOMPARE(eventsIn(server.objects(QStringLiteral("cards")).values()), icsEvents(f));

    // Nothing configured: nothing runs.
    sync.start(CalendarSyncSettings{}, events, f.clock.now());
    QVERIFY(!sync.running());
}

void TestCalendarSync::dialogTestsAndSaves()
{
    if (!RadicaleServer::installed())
        QSKIP("radicale is not installed");
    RadicaleServer server;
    QVERIFY(startServer(server));
    server.makeCollection(QStringLiteral("contacts"), QStringLiteral("VADDRESSBOOK"));
    TempHome home;
    Settings settings(home.iniPath());
    CalendarSyncDialog dialog(settings);
    auto* url = dialog.findChild<QLineEdit*>(QStringLiteral("CaldavUrlEdit"));
    auto* user = dialog.findChild<QLineEdit*>(QStringLiteral("CaldavUserEdit"));
    auto* password = dialog.findChild<QLineEdit*>(QStringLiteral("CaldavPasswordEdit"));
    auto* test = dialog.findChild<QPushButton*>(QStringLiteral("CaldavTestButton"));
    auto* save = dialog.findChild<QPushButton*>(QStringLiteral("CaldavSaveButton"));
    QVERIFY(url && user && password && test && save);
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QSignalSpy tested(&dialog, &CalendarSyncDialog::tested);

    MessageBox::setSuppressAll(true);
    const auto tryIt = [&](const QString& collection, const QString& typedPassword) -> QString {
        url->setText(server.url(collection));
        user->setText(server.options().user);
        password->setText(typedPassword);
        MessageBox::clearShownTexts();
        tested.clear();
        test->click();
        if (tested.isEmpty() && !tested.wait(60000))
            return QStringLiteral("no outcome");
        return MessageBox::shownTexts().join(u'\n');
    };
    QVERIFY(tryIt(QStringLiteral("cards"), QStringLiteral("wrong")).contains(QStringLiteral("拒绝登录")));
    QVERIFY(
        tryIt(QStringLiteral("contacts"), server.options().password).contains(QStringLiteral("不是日历")));
    QCOMPARE(tryIt(QStringLiteral("cards"), server.options().password),
             QStringLiteral("连接成功，可以同步到这个日历。"));
    QVERIFY(test->isEnabled());

    save->click();
    MessageBox::setSuppressAll(false);
    const CalendarSyncSettings stored = CalendarSyncSettings::load(settings);
    QCOMPARE(stored.url, server.url(QStringLiteral("cards")));
    QCOMPARE(stored.user, server.options().user);
    QCOMPARE(Setting::text(settings.file(), SettingKeys::caldavPassword), server.options().password);
    QCOMPARE(QFile::permissions(home.iniPath()) & (QFile::ReadGroup | QFile::ReadOther),
             QFileDevice::Permissions{});
}

void TestCalendarSync::windowSyncsAfterEachRefresh()
{
    if (!RadicaleServer::installed())
        QSKIP("radicale is not installed");
    RadicaleServer server;
    QVERIFY(startServer(server));
    Fixture f;
    f.home.writeIni(QStringLiteral("[系统设置]\npdtf=0\n"));
    seedCards(f);
    configure(f.home, server.url(QStringLiteral("cards")), server.options().user, server.options().password);
    const auto onServer = [&] { return eventsIn(server.objects(QStringLiteral("cards")).values()); };

    MessageBox::setSuppressAll(true);
    AppContext context(f.home.home());
    context.clock = &f.clock;
    {
        AppAssembly assembly(context);
        MainWindow& window = assembly.window();
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(onServer(), icsEvents(f), 60000);

        // A card repaid; the next show refreshes and the calendar follows.
        {
            Database db;
            db.open(f.home.databasePath());
            db.executeSql(QStringLiteral("UPDATE txyk SET tf = 1, i_hkm = 12, i_hky = 2026 WHERE id = ?"),
                          {f.industrial});
        }
        assembly.reminder().close(); // a new cycle: the next show refreshes
        window.hide();
        window.show();
        QCOMPARE(icsEvents(f).size(), 5);
        QTRY_COMPARE_WITH_TIMEOUT(onServer(), icsEvents(f), 60000);
    } // a run still under way is waited for as the window goes
    MessageBox::setSuppressAll(false);
    QVERIFY(MessageBox::shownTexts().isEmpty());
}

QTEST_MAIN(TestCalendarSync)
#include "tst_calendarsync.moc"
