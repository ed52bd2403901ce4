#include "billing/RefreshJobs.h"
#include "billing/RepaymentCalendar.h"
#include "billing/SummaryCommand.h"
#include "store/Clock.h"
#include "store/Database.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>
#include <sys/stat.h>

static int modeOf(const QFileInfo& info)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(info.absoluteFilePath()).constData(), &st) == 0 ? int(st.st_mode & 0777)
                                                                                    : -1;
}

// `velmora --ics` and velmora.ics: repayment dates for any calendar program.
class TestRepaymentCalendar : public QObject
{
    Q_OBJECT
private slots:
    void escaping_data();
    void escaping();
    void foldingKeepsCharactersWhole();
    void eventsPerCard_data();
    void eventsPerCard();
    void independentParserReadsIt();
    void fileWrittenAfterRefresh();
    void fileRebuiltOnlyWhenItsSourceChanges();
    void executablePrintsCalendar();
    void lastFourOfForeignCard();
    void largeCalendarIsWrittenInPieces();

private:
    static QJsonObject parse(const QByteArray& calendar);
    static QByteArray run(const TempHome& home, const Clock& clock);
};

void TestRepaymentCalendar::escaping_data()
{
    // clang-format off
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("escaped");
    QTest::newRow("plain")                      << "招行"                  << "招行";
    QTest::newRow("comma semicolon")            << "a,b;c"                 << "a\\,b\\;c";
    QTest::newRow("backslash")                  << "C:\\卡"                << "C:\\\\卡";
    QTest::newRow("line breaks")                << "一\r\n二\n三\r四"      << "一\\n二\\n三\\n四";
    QTest::newRow("control characters dropped") << QString("a\x01" "b\tc") << "ab\tc";
    QTest::newRow("direction controls dropped") << QString::fromUtf16(u"\u202E招\u202A行\u2066,\u2069") << "招行\\,";
    // clang-format on
}

void TestRepaymentCalendar::escaping()
{
    QFETCH(QString, value);
    QFETCH(QString, escaped);
    QCOMPARE(RepaymentCalendar::escapeText(value), escaped);
}

void TestRepaymentCalendar::foldingKeepsCharactersWhole()
{
    for (const QString& content :
         {QString("SUMMARY:") + QString(100, u'x'), QString("SUMMARY:还款：") + QString(60, u'卡') + "a,b",
          QString("X:") + "a" + QString(40, u'卡')}) {
        const QByteArray folded = RepaymentCalendar::fold(content.toUtf8());
        QVERIFY(folded.endsWith("\r\n"));
        const QList<QByteArray> lines = folded.chopped(2).split('\n');
        for (QByteArray line : lines) {
            if (line.endsWith('\r'))
                line.chop(1);
            QVERIFY2(line.size() <= 75, line.constData());
            QVERIFY(QString::fromUtf8(line).toUtf8() == line); // no character cut in two
        }
        QCOMPARE(QString::fromUtf8(QByteArray(folded).replace("\r\n ", "").chopped(2)), content);
    }
}

void TestRepaymentCalendar::eventsPerCard_data()
{
    // clang-format off
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("statementDay");
    QTest::addColumn<int>("repaymentDay");
    QTest::addColumn<int>("markMonth"); // 0: no repaid mark; 1..12 of today's year, or yyyymm
    QTest::addColumn<QStringList>("dates");
    QTest::addColumn<QStringList>("statements");

    const QDate sep5(2013, 9, 5);
    QTest::newRow("due this month and next") << sep5 << 20 << 7 << 0 << QStringList{"2013-9-7", "2013-10-7"} << QStringList{"2013-8-20", "2013-9-20"};
    QTest::newRow("due today") << sep5 << 20 << 5 << 0 << QStringList{"2013-9-5", "2013-10-5"} << QStringList{"2013-8-20", "2013-9-20"};
    QTest::newRow("passed: next month only") << sep5 << 20 << 3 << 0 << QStringList{"2013-10-3"} << QStringList{"2013-9-20"};
    QTest::newRow("repaid this month: next only") << sep5 << 1 << 25 << 9 << QStringList{"2013-10-25"} << QStringList{"2013-10-1"};
    QTest::newRow("mark of last month is stale")
        << sep5 << 1 << 25 << 8 << QStringList{"2013-9-25", "2013-10-25"}
        << QStringList{"2013-9-1", "2013-10-1"};
    QTest::newRow("day 31 clamped this month")
        << sep5 << 10 << 31 << 0 << QStringList{"2013-9-30", "2013-10-31"}
        << QStringList{"2013-9-10", "2013-10-10"};
    QTest::newRow("next month clamped to February")
        << QDate(2014, 1, 20) << 15 << 30 << 0 << QStringList{"2014-1-30", "2014-2-28"}
        << QStringList{"2014-1-15", "2014-2-15"};
    QTest::newRow("December to January")
        << QDate(2013, 12, 2) << 20 << 8 << 0 << QStringList{"2013-12-8", "2014-1-8"}
        << QStringList{"2013-11-20", "2013-12-20"};
    QTest::newRow("year end, marked for January")
        << QDate(2026, 12, 31) << 20 << 1 << 202701 << QStringList{} << QStringList{};
    QTest::newRow("year end, December's mark")
        << QDate(2026, 12, 31) << 20 << 1 << 12 << QStringList{"2027-1-1"} << QStringList{"2026-12-20"};
    QTest::newRow("missing day: nothing")      << sep5 << 0  << 8  << 0 << QStringList{} << QStringList{};
    QTest::newRow("day out of range: nothing") << sep5 << 20 << 40 << 0 << QStringList{} << QStringList{};
    // clang-format on
}

void TestRepaymentCalendar::eventsPerCard()
{
    QFETCH(QDate, today);
    QFETCH(int, statementDay);
    QFETCH(int, repaymentDay);
    QFETCH(int, markMonth);
    QFETCH(QStringList, dates);
    QFETCH(QStringList, statements);
    CardFacts card;
    card.id = 7;
    card.name = "招行";
    card.numberLast4 = "6789";
    card.statementDay = statementDay;
    card.repaymentDay = repaymentDay;
    card.ratio = 10;
    card.used = 33;
    card.repaidMark = markMonth != 0;
    card.markMonth = markMonth > 12 ? markMonth % 100 : markMonth;
    card.markYear = markMonth > 12 ? markMonth / 100 : today.year();
    QStringList gotDates, gotStatements;
    for (const RepaymentCalendar::Event& e : RepaymentCalendar::events({card}, today)) {
        gotDates << e.date.toString("yyyy-M-d");
        gotStatements << e.statementDate.toString("yyyy-M-d");
        QCOMPARE(e.summary, QString("还款：招行 尾号6789"));
        QCOMPARE(e.description, QString("最低还款额：33元\n账单日：") + gotStatements.last());
        QCOMPARE(e.uid, QString("velmora-card7-%1@velmora").arg(e.date.toString("yyyyMMdd")));
    }
    QCOMPARE(gotDates, dates);
    QCOMPARE(gotStatements, statements);
}

QJsonObject TestRepaymentCalendar::parse(const QByteArray& calendar)
{
    QTemporaryFile file;
    if (!file.open())
        return {};
    file.write(calendar);
    file.flush();
    QProcess python;
    python.start("/usr/bin/python3", {QStringLiteral(VELMORA_PARSE_ICS), file.fileName()});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning("%s", python.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

QByteArray TestRepaymentCalendar::run(const TempHome& home, const Clock& clock)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QString err;
    QTextStream e(&err);
    if (RepaymentCalendar::runCommand(home.home(), clock, out, e) != 0)
        qWarning("%s", qPrintable(err));
    return out.data();
}

void TestRepaymentCalendar::independentParserReadsIt()
{
    TempHome home;
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder b(db);
        b.name("招行")
            .number("6225 8801 2345 6789")
            .statementDay(20)
            .repaymentDay(7)
            .ratio(10)
            .used(33)
            .insert();
        b.name("A,B;C\\D\n\"新\"卡")
            .number("4367420012341111")
            .statementDay(1)
            .repaymentDay(25)
            .repaid(true, 9, 2013)
            .insert();
        b.name("坏卡").statementDay(40).repaymentDay(8).insert();
    }
    FixedClock morning(QDateTime(QDate(2013, 9, 5), QTime(9, 0)));
    const QByteArray first = run(home, morning);
    QVERIFY(!first.contains("62258801") && !first.contains("43674200"));

    const QJsonObject parsed = parse(first);
    QCOMPARE(parsed["version"].toString(), QString("2.0"));
    QVERIFY(parsed["longest_line"].toInt() <= 75);
    QCOMPARE(parsed["bare_newlines"].toInt(), 0);
    QVERIFY(parsed["ends_with_crlf"].toBool());
    const QJsonArray events = parsed["events"].toArray();
    QStringList seen;
    for (const QJsonValue& v : events) {
        const QJsonObject e = v.toObject();
        seen << e["start"].toString() + " " + e["summary"].toString();
        QCOMPARE(QDate::fromString(e["end"].toString(), Qt::ISODate),
                 QDate::fromString(e["start"].toString(), Qt::ISODate).addDays(1));
        QCOMPARE(e["alarms"].toArray(), QJsonArray({-2 * 24 * 3600}));
        QCOMPARE(e["alarm_actions"].toArray(), QJsonArray({"DISPLAY"}));
        QVERIFY(e["has_stamp"].toBool());
    }
    QCOMPARE(seen, QStringList({"2013-09-07 还款：招行 尾号6789", "2013-10-07 还款：招行 尾号6789",
                                "2013-10-25 还款：A,B;C\\D\n\"新\"卡 尾号1111"}));
    QCOMPARE(events[0].toObject()["description"].toString(), QString("最低还款额：33元\n账单日：2013-8-20"));

    // A later run (another hour, the next day) keeps the UIDs of the events that remain.
    FixedClock evening(QDateTime(QDate(2013, 9, 5), QTime(21, 30)));
    FixedClock nextDay(QDateTime(QDate(2013, 9, 6), QTime(8, 0)));
    const auto uids = [](const QJsonObject& calendar) {
        QStringList list;
        for (const QJsonValue& v : calendar["events"].toArray())
            list << v.toObject()["uid"].toString();
        return list;
    };
    QStringList morningUids = uids(parsed);
    QCOMPARE(morningUids.size(), 3);
    QCOMPARE(morningUids.removeDuplicates(), 0);
    QCOMPARE(uids(parse(run(home, evening))), morningUids);
    QCOMPARE(uids(parse(run(home, nextDay))), morningUids);
}

void TestRepaymentCalendar::fileWrittenAfterRefresh()
{
    TempHome home;
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("招行").number("6225880123456789").statementDay(20).repaymentDay(7).insert();
    }
    FixedClock clock(QDate(2013, 9, 5));
    QString out, err;
    QTextStream o(&out), e(&err);
    QCOMPARE(runSummaryCommand(home.home(), clock, false, o, e), 0);
    QFile file(home.path() + "/velmora.ics");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), run(home, clock));
    QCOMPARE(modeOf(QFileInfo(file)), 0600);
}

// At 100,000 cards the file is tens of megabytes: a pass that changes nothing it is made of
// leaves it as it was; a changed card, another day or a spoiled file rebuild it.
void TestRepaymentCalendar::fileRebuiltOnlyWhenItsSourceChanges()
{
    TempHome home;
    Database db;
    db.open(home.databasePath());
    const int id = CardBuilder(db).name("招行").statementDay(20).repaymentDay(7).insert();
    FixedClock clock(QDateTime(QDate(2013, 9, 5), QTime(9, 0)));
    RefreshJobs jobs(home.home());
    const auto written = [&] {
        QFile file(jobs.calendarPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QCOMPARE(jobs.writeCalendar(db, clock), QString());
    const QByteArray first = written();
    QCOMPARE(first, RepaymentCalendar::forDatabase(db, clock));

    clock.set(QDateTime(QDate(2013, 9, 5), QTime(18, 0))); // later that day, nothing changed
    QCOMPARE(jobs.writeCalendar(db, clock), QString());
    QCOMPARE(written(), first);

    db.executeSql(QStringLiteral("UPDATE txyk SET c_name='建行' WHERE id=?"), {id});
    QCOMPARE(jobs.writeCalendar(db, clock), QString());
    QCOMPARE(written(), RepaymentCalendar::forDatabase(db, clock));
    QVERIFY(written().contains("建行"));

    clock.advanceDays(1);
    QCOMPARE(jobs.writeCalendar(db, clock), QString());
    QCOMPARE(written(), RepaymentCalendar::forDatabase(db, clock));

    {
        QFile file(jobs.calendarPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("BEGIN:VCALENDAR\r\n");
    }
    QCOMPARE(jobs.writeCalendar(db, clock), QString());
    QCOMPARE(written(), RepaymentCalendar::forDatabase(db, clock));
}

void TestRepaymentCalendar::executablePrintsCalendar()
{
    TempHome home;
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("招行").number("6225880123456789").statementDay(20).repaymentDay(7).insert();
    }
    QProcess p;
    p.start(QStringLiteral(VELMORA_EXECUTABLE), {"--ics"});
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 0);
    const QByteArray calendar = p.readAllStandardOutput();
    QVERIFY(calendar.startsWith("BEGIN:VCALENDAR\r\n"));
    QVERIFY(!calendar.contains("62258801"));
    // Whatever today is, the next month's event is there.
    QVERIFY(!parse(calendar)["events"].toArray().isEmpty());
    QVERIFY(!QFile::exists(home.path() + "/velmora.ics")); // printing changes nothing
}

// A card another tool wrote has no c_last4: the calendar takes the last four of its number, and
// reading for it changes nothing.
void TestRepaymentCalendar::lastFourOfForeignCard()
{
    TempHome home;
    Database db;
    db.open(home.databasePath());
    const int id = CardBuilder(db)
                       .name("外来")
                       .set("c_no", "6222 0000 1234 5678")
                       .statementDay(20)
                       .repaymentDay(7)
                       .insert();
    const QList<CardFacts> cards = readCardFacts(db);
    QCOMPARE(cards.size(), 1);
    QCOMPARE(cards[0].numberLast4, QStringLiteral("5678"));
    const QList<RepaymentCalendar::Event> events = RepaymentCalendar::events(cards, QDate(2013, 9, 5));
    QVERIFY(!events.isEmpty());
    QCOMPARE(events[0].summary, QStringLiteral("还款：外来 尾号5678"));
    QVERIFY(Stored::field(db, id, "c_last4").isNull());
}

// A calendar of thousands of cards goes out in pieces that together are exactly the text of its
// events, and the file streamed to disk holds those bytes.
void TestRepaymentCalendar::largeCalendarIsWrittenInPieces()
{
    QList<CardFacts> cards;
    for (int i = 1; i <= 10000; ++i) { // more than one run of cards made on worker threads
        CardFacts card;
        card.id = i;
        // Names that need escaping, lose direction controls or are folded; cards without last four.
        static const QStringList names = {QStringLiteral("卡,%1"), QStringLiteral("a;b\\c\n%1"),
                                          QStringLiteral("\u202E倒%1"),
                                          QStringLiteral("很长的名字").repeated(12) + QStringLiteral("%1")};
        card.name = names[i % names.size()].arg(i);
        card.numberLast4 = i % 7 == 0 ? QString() : QString::number(1000 + i % 9000);
        card.statementDay = 1 + i % 28;
        card.repaymentDay = 1 + (i * 7) % 28;
        card.ratio = 0.1;
        card.used = i * 3.57;
        card.repaidMark = i % 5 == 0;
        card.markMonth = 9;
        card.markYear = 2013;
        cards << card;
    }
    const QDate today(2013, 9, 5);
    const QDateTime stamp(today, QTime(9, 0));
    const QByteArray whole = RepaymentCalendar::text(RepaymentCalendar::events(cards, today), stamp, "abc");
    QByteArrayList pieces;
    RepaymentCalendar::writeText(cards, today, stamp, "abc",
                                 [&](QByteArrayView piece) { pieces << piece.toByteArray(); });
    QVERIFY(pieces.size() > 1);
    QCOMPARE(pieces.join(), whole);

    TempHome home;
    const QString path = home.path() + "/velmora.ics";
    RepaymentCalendar::writeFile(path, cards, today, stamp, "abc");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), whole);
    QCOMPARE(modeOf(QFileInfo(path)), 0600);
}

QTEST_GUILESS_MAIN(TestRepaymentCalendar)
#include "tst_repaymentcalendar.moc"
