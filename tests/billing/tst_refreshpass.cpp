#include "billing/CardFacts.h"
#include "billing/RefreshPass.h"
#include "store/CardSecrets.h"
#include "store/Clock.h"
#include "store/DataModule.h"
#include "store/Error.h"
#include "store/SqlDialect.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"

#include <QtTest>

// The refresh pass over a database: every card recomputed in one transaction, the monthly
// reset, the counts and the due-soon list.
class TestRefreshPass : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void recomputesEveryCardWhateverTheListShows();
    void closedCardListStaysClosed();
    void passWritesOnlyWhatChanged_data();
    void passWritesOnlyWhatChanged();
    void errorLeavesEveryCardAsItWas();
    void skipsCardsWithoutUsableDays();
    void countsAndLabels();
    void countsAreWhatEachStatementSelects();
    void countStatements_data();
    void countStatements();
    void resetStatement();
    void monthlyReset_data();
    void monthlyReset();
    void resetComesBeforeCounting();
    void repaymentEarlyNextMonth_data();
    void repaymentEarlyNextMonth();
    void lastFourFromTheNumber_data();
    void lastFourFromTheNumber();
    void reminderDecision_data();
    void reminderDecision();

private:
    QVariant field(int id, const QString& name);
    TempHome* m_home = nullptr;
    DataModule* m_data = nullptr;
    FixedClock m_clock{QDate(2013, 9, 5)};
};

void TestRefreshPass::init()
{
    m_home = new TempHome;
    m_data = new DataModule;
    m_data->open(m_home->databasePath());
    m_clock.setDate(QDate(2013, 9, 5));
}

void TestRefreshPass::cleanup()
{
    delete m_data;
    delete m_home;
}

QVariant TestRefreshPass::field(int id, const QString& name)
{
    return Stored::field(m_data->database(), id, name);
}

void TestRefreshPass::recomputesEveryCardWhateverTheListShows()
{
    CardBuilder b(m_data->database());
    QList<int> ids;
    for (int day = 1; day <= 6; ++day)
        ids << b.name(QStringLiteral("卡%1").arg(day)).statementDay(day * 4).repaymentDay(day + 5).insert();

    // A filter showing only some cards, with the cursor on its last row.
    Query& cards = m_data->cards();
    const QString filter = QStringLiteral("select * from txyk where c_jzr>12 order by c_jzr");
    cards.setSql(filter);
    cards.open();
    cards.last();
    cards.disableControls(); // a caller's own suspension survives the pass

    const RefreshResult result = RefreshPass(*m_data, m_clock).run();
    QVERIFY(result.skipped.isEmpty());
    for (int i = 0; i < ids.size(); ++i) {
        const int repaymentDay = i + 1 + 5;
        QCOMPARE(field(ids[i], QStringLiteral("i_xyr")).toInt(), repaymentDay - 5);
        QCOMPARE(field(ids[i], QStringLiteral("c_re_date")).toString(),
                 QDate(2013, 9, repaymentDay).toString(Qt::ISODate));
    }
    // The list keeps its statement, is reopened at its first row and shows the new values.
    QCOMPARE(cards.sql(), filter);
    QVERIFY(cards.isOpen());
    QCOMPARE(cards.recordCount(), 3);
    QCOMPARE(cards.currentRow(), 0);
    QCOMPARE(cards.intValue(QStringLiteral("i_xyr")), 4 + 5 - 5);
    QVERIFY(cards.controlsDisabled());
    cards.enableControls();
    QVERIFY(!cards.controlsDisabled());
}

// The headless commands never open the card list: the pass does not load it for them.
void TestRefreshPass::closedCardListStaysClosed()
{
    const int id = CardBuilder(m_data->database()).statementDay(1).repaymentDay(7).insert();
    m_data->cards().close();
    const RefreshResult result = RefreshPass(*m_data, m_clock).run();
    QVERIFY(!m_data->cards().isOpen());
    QCOMPARE(field(id, QStringLiteral("i_xyr")).toInt(), 2);
    QCOMPARE(result.dueSoonCount(), 1);
    QCOMPARE(result.dueSoon.value(0).id, id);
}

// A card already stored as the pass would store it is not written again, nor is a card the monthly
// reset would leave as it is; any difference in any stored field is written.
void TestRefreshPass::passWritesOnlyWhatChanged_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("written"); // cards written
    // clang-format off
    QTest::newRow("nothing")                 << ""                         << 0;
    QTest::newRow("minimum repayment")       << "i_zdhkje=i_zdhkje+1"      << 1;
    QTest::newRow("repayment date as typed") << "c_re_date='2013-9-8'"     << 1;
    QTest::newRow("next statement date")     << "c_next_jd_date=NULL"      << 1;
    QTest::newRow("days left")               << "i_xyr=i_xyr+1"            << 1;
    QTest::newRow("days left not whole")     << "i_xyr=i_xyr+0.5"          << 1;
    QTest::newRow("purchase days")           << "i_xf=NULL"                << 1;
    // Once the reset has a mark to clear, it rewrites every card it matches.
    QTest::newRow("repaid last month")       << "tf=1,i_hkm=8,i_hky=2013"  << 2;
    QTest::newRow("repaid this month")       << "tf=1,i_hkm=9,i_hky=2013"  << 0;
    // clang-format on
}

void TestRefreshPass::passWritesOnlyWhatChanged()
{
    QFETCH(QString, change);
    QFETCH(int, written);
    Database& db = m_data->database();
    CardBuilder b(db);
    // Never marked: matched by the monthly reset, which has nothing to change on it.
    const int id = b.statementDay(20).repaymentDay(8).ratio(1.5).used(1234).repaid(false, 0, 0).insert();
    b.statementDay(3).repaymentDay(25).repaid(false, 0, 0).insert();
    b.name(QStringLiteral("无还款日")).statementDay(3).insert(); // skipped, its schedule cleared
    RefreshPass(*m_data, m_clock).run();
    const QString select =
        QStringLiteral("SELECT i_zdhkje,c_re_date,c_next_re_date,c_jd_date,c_next_jd_date,i_xyr,"
                       "i_xf,tf,i_hkm,i_hky FROM txyk WHERE id=?");
    QVariantList expected = Stored::row(db, select, {id});
    if (!change.isEmpty())
        db.executeSql(QStringLiteral("UPDATE txyk SET %1 WHERE id=?").arg(change), {id});
    if (change.startsWith(QStringLiteral("tf=1,i_hkm=9")))
        expected = Stored::row(db, select, {id}); // kept by the reset

    db.executeSql(QStringLiteral("CREATE TABLE writes (card INTEGER)"));
    db.executeSql(QStringLiteral("CREATE TRIGGER noted AFTER UPDATE ON txyk BEGIN INSERT INTO writes VALUES "
                                 "(NEW.id); END"));
    RefreshPass(*m_data, m_clock).run();
    const QVariantList writes = Stored::column(db, QStringLiteral("SELECT DISTINCT card FROM writes"));
    QCOMPARE(writes.size(), written);
    QCOMPARE(writes.contains(id), written > 0);
    QCOMPARE(Stored::row(db, select, {id}), expected);
}

void TestRefreshPass::errorLeavesEveryCardAsItWas()
{
    CardBuilder b(m_data->database());
    QList<int> ids;
    for (int i = 0; i < 5; ++i)
        ids << b.statementDay(20).repaymentDay(8).daysLeft(99).repaid(true, 8, 2013).insert();
    // The fourth card's update fails inside the engine.
    m_data->database().executeSql(
        QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON txyk WHEN NEW.id = %1 "
                       "BEGIN SELECT RAISE(ABORT, 'refused'); END")
            .arg(ids[3]));
    Query& cards = m_data->cards();
    const QString statement = cards.sql();
    cards.setSql(statement);
    cards.open();
    cards.last();

    QVERIFY_THROWS_EXCEPTION(Error, RefreshPass(*m_data, m_clock).run());
    for (int id : ids) {
        QCOMPARE(field(id, QStringLiteral("i_xyr")).toInt(), 99);
        QVERIFY(field(id, QStringLiteral("c_re_date")).isNull());
        QCOMPARE(field(id, QStringLiteral("tf")).toInt(), 1); // no reset either
    }
    QVERIFY(!cards.controlsDisabled());
    QCOMPARE(cards.sql(), statement);
    QCOMPARE(cards.currentRow(), 4);

    // The database is usable again afterwards: no transaction is left open.
    m_data->database().executeSql(QStringLiteral("DROP TRIGGER refuse"));
    RefreshPass(*m_data, m_clock).run();
    QCOMPARE(field(ids[0], QStringLiteral("i_xyr")).toInt(), 3);
}

void TestRefreshPass::skipsCardsWithoutUsableDays()
{
    CardBuilder b(m_data->database());
    const int good = b.name(QStringLiteral("好卡")).statementDay(20).repaymentDay(5).insert();
    // Stale values of an earlier pass must not keep a skipped card counted as due.
    const int noDay = b.name(QStringLiteral("无账单日")).repaymentDay(5).daysLeft(0).insert();
    const int day32 = b.name(QStringLiteral("三十二")).statementDay(20).repaymentDay(32).daysLeft(0).insert();
    const int day31 = b.name(QStringLiteral("三十一")).statementDay(31).repaymentDay(31).insert();

    const RefreshResult result = RefreshPass(*m_data, m_clock).run();
    QCOMPARE(result.skipped,
             (QList<SkippedCard>{{noDay, QStringLiteral("无账单日")}, {day32, QStringLiteral("三十二")}}));
    for (int id : {noDay, day32}) {
        for (const char* f :
             {"i_zdhkje", "c_re_date", "c_next_re_date", "c_jd_date", "c_next_jd_date", "i_xyr", "i_xf"})
            QVERIFY2(field(id, QLatin1String(f)).isNull(), f);
    }
    QCOMPARE(field(good, QStringLiteral("i_xyr")).toInt(), 0);
    QCOMPARE(field(day31, QStringLiteral("c_re_date")).toString(), QStringLiteral("2013-09-30"));
    QCOMPARE(result.counts[0], 1);
    QCOMPARE(result.dueSoonCount(), 1);
}

void TestRefreshPass::countsAndLabels()
{
    CardBuilder b(m_data->database());
    // Repayment days giving i_xyr 0, 1, 2, 7, 8, 10, 15, 16 and -1 on 2013-9-5.
    for (int h : {5, 6, 7, 12, 13, 15, 20, 21, 4})
        b.name(QStringLiteral("卡%1").arg(h)).statementDay(28).repaymentDay(h).insert();
    b.name(QStringLiteral("已还")).statementDay(28).repaymentDay(5).repaid(true, 9, 2013).insert();

    const RefreshResult r = RefreshPass(*m_data, m_clock).run();
    QCOMPARE(r.date, QDate(2013, 9, 5));
    QCOMPARE(r.counts, (std::array<int, 8>{1, 2, 3, 4, 6, 7, 1, 3}));
    QCOMPARE(r.labelTexts,
             QStringList({"1天内需还:1张", "2天内需还:2张", "3天内需还:3张", "7天内需还:4张",
                          "10天内需还:6张", "15天内需还:7张", "已经过期:1张", "3天内共需还款:3张"}));
    QCOMPARE(r.dueSoonCount(), 3);
    QCOMPARE(r.heading, QStringLiteral("3天内共需还：3张"));

    // Most urgent first, with the values the reminder, the mail and --summary show.
    QStringList names;
    QList<int> daysLeft;
    for (const DueSoonCard& card : r.dueSoon) {
        names << card.name;
        daysLeft << card.daysLeft;
    }
    QCOMPARE(names, QStringList({"卡5", "卡6", "卡7"}));
    QCOMPARE(daysLeft, QList<int>({0, 1, 2}));
    QCOMPARE(r.dueSoon.first().repaymentDate, QDate(2013, 9, 5));
    QVERIFY(r.dueSoon.first().minRepayment.has_value());
    // The facts of every card, as the pass left them (the best card and the calendar take them).
    QCOMPARE(int(r.cards.size()), 10);

    // Nothing due: every label shows 0.
    m_clock.setDate(QDate(2013, 9, 25));
    m_data->database().executeSql(QStringLiteral("DELETE FROM txyk"));
    const RefreshResult empty = RefreshPass(*m_data, m_clock).run();
    QCOMPARE(empty.counts, (std::array<int, 8>{}));
    QCOMPARE(empty.labelTexts.first(), QStringLiteral("1天内需还:0张"));
    QCOMPARE(empty.dueSoonCount(), 0);
}

void TestRefreshPass::countStatements_data()
{
    // clang-format off
    QTest::addColumn<int>("label");
    QTest::addColumn<QString>("statement");
    QTest::newRow("dueIn1DayCount") << 0 << "select i_xyr,tf from txyk where  tf=false and i_xyr=0 and i_xyr>=0";
    QTest::newRow("dueIn2DaysCount") << 1 << "select i_xyr,tf from txyk where  tf=false and i_xyr<=1 and i_xyr>=0";
    QTest::newRow("dueIn3DaysCount") << 2 << "select i_xyr,tf from txyk where tf=false and i_xyr<=2 and i_xyr>=0";
    QTest::newRow("dueIn7DaysCount") << 3 << "select i_xyr,tf from txyk where  tf=false and i_xyr<=7 and i_xyr>=0";
    QTest::newRow("dueIn10DaysCount") << 4 << "select i_xyr,tf from txyk where  tf=false and i_xyr<=10 and i_xyr>=0";
    QTest::newRow("dueIn15DaysCount") << 5 << "select i_xyr,tf from txyk where  tf=false and i_xyr<=15 and i_xyr>=0";
    QTest::newRow("overdueCount") << 6 << "select i_xyr,tf from txyk where  tf=false and i_xyr<=-1";
    QTest::newRow("dueIn3DaysTotalCount") << 7 << "select i_xyr,tf from txyk where  tf=false and i_xyr<=2 and i_xyr>=0";
    // clang-format on
}

// The eight counts are taken in one scan; each must still be what its own statement selects,
// whatever is stored (empty, text, paid, far off).
void TestRefreshPass::countsAreWhatEachStatementSelects()
{
    CardBuilder b(m_data->database());
    for (const QVariant& daysLeft :
         QVariantList{-5, -1, 0, 1, 2, 3, 7, 8, 10, 15, 16, 40, QVariant(), "2", "x", 2.5})
        b.set(QStringLiteral("i_xyr"), daysLeft).insert();
    b.daysLeft(1).repaid(true, 9, 2013).insert();
    b.daysLeft(-2).repaid(true, 9, 2013).insert();
    Database& db = m_data->database();
    const std::array<int, 8> counts = Refresh::countDueCards(db);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(counts[size_t(i)], Stored::count(db, SqlDialect::translate(Refresh::countStatement(i))));
}

void TestRefreshPass::countStatements()
{
    QFETCH(int, label);
    QTEST(Refresh::countStatement(label), "statement");
}

void TestRefreshPass::resetStatement()
{
    QCOMPARE(
        Refresh::monthlyResetStatement(QDate(2013, 9, 9)),
        QStringLiteral("UPDATE Txyk SET tf=False,i_hkm = 0,i_hky = 0 where (i_hkm<'9' and i_hky = '2013') "
                       "or (i_hky < '2013')"));
    QCOMPARE(Refresh::kDueSoonStatement,
             QStringLiteral("select id,c_re_date,c_name,c_no,c_last4,i_xyr,tf,i_zdhkje,i_xf,i_yxf from txyk "
                            "where tf=False and "
                            "(i_xyr>=0and i_xyr<=2) order by i_xyr,id"));
}

void TestRefreshPass::monthlyReset_data()
{
    // clang-format off
    QTest::addColumn<int>("markMonth");
    QTest::addColumn<int>("markYear");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<bool>("cleared");
    for (int month = 1; month <= 12; ++month)
        QTest::addRow("September 2012 mark, %d/2013", month) << 9  << 2012 << QDate(2013, month, 15) << true;
    QTest::newRow("December mark in January")                << 12 << 2012 << QDate(2013, 1, 1)      << true;
    QTest::newRow("March 2012 mark in December")             << 3  << 2012 << QDate(2013, 12, 31)    << true;
    QTest::newRow("earlier month this year")                 << 8  << 2013 << QDate(2013, 9, 1)      << true;
    QTest::newRow("October mark in December")                << 10 << 2013 << QDate(2013, 12, 1)     << true;
    QTest::newRow("this month kept")                         << 9  << 2013 << QDate(2013, 9, 30)     << false;
    QTest::newRow("December mark kept in December")          << 12 << 2013 << QDate(2013, 12, 31)    << false;
    // clang-format on
}

void TestRefreshPass::monthlyReset()
{
    QFETCH(int, markMonth);
    QFETCH(int, markYear);
    QFETCH(QDate, today);
    QFETCH(bool, cleared);
    // Next month's repayment day is always more than two days ahead: this is the monthly reset alone.
    const int id = CardBuilder(m_data->database())
                       .statementDay(10)
                       .repaymentDay(25)
                       .repaid(true, markMonth, markYear)
                       .insert();
    m_clock.setDate(today);
    const RefreshResult r = RefreshPass(*m_data, m_clock).run();
    QCOMPARE(field(id, QStringLiteral("tf")).toInt(), cleared ? 0 : 1);
    QCOMPARE(field(id, QStringLiteral("i_hkm")).toInt(), cleared ? 0 : markMonth);
    QCOMPARE(field(id, QStringLiteral("i_hky")).toInt(), cleared ? 0 : markYear);
    // The card facts the pass hands on are the cards as it left them.
    QVERIFY(r.cards == readCardFacts(m_data->database()));
}

// A card repaid last month and due today counts at the first refresh of the new month, and the
// labels agree with the due-soon list.
void TestRefreshPass::resetComesBeforeCounting()
{
    CardBuilder(m_data->database()).statementDay(20).repaymentDay(1).repaid(true, 8, 2013).insert();
    m_clock.setDate(QDate(2013, 9, 1));
    const RefreshResult r = RefreshPass(*m_data, m_clock).run();
    QCOMPARE(r.counts[0], 1);
    QCOMPARE(r.counts[7], 1);
    QCOMPARE(r.dueSoonCount(), 1);
}

// A repayment early next month is counted from this month's end on: listed with its own date
// and days, also when the card was marked repaid for this month's repayment. A mark set for it
// (month of that repayment) keeps it out.
void TestRefreshPass::repaymentEarlyNextMonth_data()
{
    // clang-format off
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("j");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("markMonth"); // 0: never marked
    QTest::addColumn<int>("markYear");
    QTest::addColumn<QString>("due");   // c_re_date
    QTest::addColumn<int>("daysLeft");
    QTest::addColumn<bool>("listed");   // unpaid and in the due-soon list
    QTest::newRow("marked for December, due tomorrow") << QDate(2026, 12, 31) << 20 << 1  << 12 << 2026 << "2027-01-01" << 1  << true;
    QTest::newRow("never marked, due tomorrow")        << QDate(2026, 12, 31) << 20 << 1  << 0  << 0    << "2027-01-01" << 1  << true;
    QTest::newRow("marked for January")                << QDate(2026, 12, 31) << 20 << 1  << 1  << 2027 << "2027-01-01" << 1  << false;
    QTest::newRow("statement before repayment")        << QDate(2027, 1, 31)  << 1  << 2  << 1  << 2027 << "2027-02-02" << 2  << true;
    QTest::newRow("end of a leap February")            << QDate(2028, 2, 28)  << 25 << 1  << 2  << 2028 << "2028-03-01" << 2  << true;
    QTest::newRow("end of a common February")          << QDate(2027, 2, 28)  << 25 << 1  << 2  << 2027 << "2027-03-01" << 1  << true;
    QTest::newRow("mid-month, this month's mark kept") << QDate(2026, 12, 10) << 20 << 1  << 12 << 2026 << "2026-12-01" << -9 << false;
    QTest::newRow("passed, unpaid: overdue")           << QDate(2026, 12, 10) << 20 << 1  << 0  << 0    << "2026-12-01" << -9 << false;
    // clang-format on
}

void TestRefreshPass::repaymentEarlyNextMonth()
{
    QFETCH(QDate, today);
    QFETCH(int, j);
    QFETCH(int, h);
    QFETCH(int, markMonth);
    QFETCH(int, markYear);
    QFETCH(QString, due);
    QFETCH(int, daysLeft);
    QFETCH(bool, listed);
    CardBuilder b(m_data->database());
    const int id = b.name(QStringLiteral("月末卡"))
                       .statementDay(j)
                       .repaymentDay(h)
                       .repaid(markMonth != 0, markMonth, markYear)
                       .insert();
    m_clock.setDate(today);
    const RefreshResult r = RefreshPass(*m_data, m_clock).run();

    QCOMPARE(field(id, QStringLiteral("c_re_date")).toString(), due);
    QCOMPARE(field(id, QStringLiteral("i_xyr")).toInt(), daysLeft);
    QCOMPARE(field(id, QStringLiteral("tf")).toInt() == 0, listed || markMonth == 0);
    QCOMPARE(r.dueSoonCount(), listed ? 1 : 0);
    QCOMPARE(r.counts[1], listed && daysLeft <= 1 ? 1 : 0); // "2天内需还"
    QCOMPARE(r.counts[2], listed ? 1 : 0);                  // "3天内需还"
    QCOMPARE(r.counts[6], daysLeft < 0 && markMonth == 0 ? 1 : 0);
    QVERIFY(r.cards == readCardFacts(m_data->database()));
    if (listed) {
        const DueSoonCard& card = r.dueSoon.first();
        QCOMPARE(card.id, id);
        QCOMPARE(card.daysLeft, daysLeft);
        QCOMPARE(card.repaymentDate.toString(Qt::ISODate), due);
    }
}

// A card written by another tool (sqlite3, a database browser) has no c_last4: the pass takes
// it from the number when that is stored in clear, and keeps one that is stored.
void TestRefreshPass::lastFourFromTheNumber_data()
{
    // clang-format off
    QTest::addColumn<QVariant>("number");
    QTest::addColumn<QVariant>("last4");
    QTest::addColumn<QString>("stored");
    QTest::newRow("none stored")      << QVariant("6222 0000 1234 5678") << QVariant()           << "5678";
    QTest::newRow("empty text")       << QVariant("6222-0000-1234-0002") << QVariant("")         << "0002";
    QTest::newRow("stored one kept")  << QVariant("6222 0000 1234 5678") << QVariant("9999")     << "9999";
    QTest::newRow("short number")     << QVariant("12")                  << QVariant()           << "12";
    QTest::newRow("sealed number")    << QVariant("vsec1:AAAAAAAAAAAA")  << QVariant()           << "";
    QTest::newRow("no number")        << QVariant()                      << QVariant()           << "";
    // clang-format on
}

void TestRefreshPass::lastFourFromTheNumber()
{
    QFETCH(QVariant, number);
    QFETCH(QVariant, last4);
    const int id = CardBuilder(m_data->database())
                       .name(QStringLiteral("外来"))
                       .statementDay(20)
                       .repaymentDay(6)
                       .set(QStringLiteral("c_no"), number)
                       .set(QStringLiteral("c_last4"), last4)
                       .insert();
    const RefreshResult r = RefreshPass(*m_data, m_clock).run();
    QTEST(field(id, QStringLiteral("c_last4")).toString(), "stored");
    QCOMPARE(r.dueSoon.value(0).id, id);
    QTEST(r.dueSoon.value(0).numberLast4, "stored");
    QVERIFY(r.cards == readCardFacts(m_data->database()));
}

void TestRefreshPass::reminderDecision_data()
{
    // clang-format off
    QTest::addColumn<bool>("alreadyShown");
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<bool>("pwdProtect");
    QTest::addColumn<int>("listed");
    QTest::addColumn<bool>("show");
    QTest::addColumn<bool>("mark");
    QTest::newRow("empty list")           << false << false << false << 0 << false << false;
    QTest::newRow("no protection")        << false << false << false << 2 << true  << true;
    QTest::newRow("protected, logged in") << false << true  << true  << 1 << true  << true;
    QTest::newRow("protected, no login")  << false << false << true  << 1 << false << true;
    QTest::newRow("already decided")      << true  << true  << false << 3 << false << false;
    // clang-format on
}

void TestRefreshPass::reminderDecision()
{
    QFETCH(bool, alreadyShown);
    QFETCH(bool, loggedIn);
    QFETCH(bool, pwdProtect);
    QFETCH(int, listed);
    QFETCH(bool, show);
    QFETCH(bool, mark);
    QCOMPARE(decideReminder(alreadyShown, loggedIn, pwdProtect, listed), (ReminderDecision{show, mark}));
}

QTEST_GUILESS_MAIN(TestRefreshPass)
#include "tst_refreshpass.moc"
