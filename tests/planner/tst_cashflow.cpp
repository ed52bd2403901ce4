#include "planner/CashFlowPlan.h"
#include "planner/IntegerText.h"
#include "store/DataModule.h"
#include "store/DateText.h"
#include "store/Error.h"
#include "support/CardBuilder.h"
#include "support/TempHome.h"

#include <QtTest>

using namespace CashFlow;

Q_DECLARE_METATYPE(CashFlow::Parameters)

namespace {

QString optionalText(const QVariant& v)
{
    return v.isNull() ? QStringLiteral("-") : v.toString();
}

// "date from>to kind tx/hk", the way the tests spell a journal row.
QString journalText(QDate date, const QString& from, const QString& to, const QString& kind,
                    const QVariant& tx, const QVariant& hk)
{
    return QStringLiteral("%1 %2>%3 %4 %5/%6")
        .arg(DateText::format(date), from, to, kind, optionalText(tx), optionalText(hk));
}

QVariant opt(const std::optional<int>& v)
{
    return v ? QVariant(*v) : QVariant();
}

QStringList journalTexts(const Result& result)
{
    QStringList texts;
    for (const JournalRow& r : result.journal)
        texts << journalText(r.date, r.from, r.to, r.kind, opt(r.withdrawalNo), opt(r.repaymentNo));
    return texts;
}

// "name post>due ed used tx T|F y/m/d #card"
QString planText(const QString& name, QDate post, QDate due, int ed, int used, const QVariant& tx,
                 bool withdrawal, const QVariant& y, const QVariant& m, const QVariant& d,
                 const QVariant& card)
{
    return QStringLiteral("%1 %2>%3 %4 %5 %6 %7 %8/%9/%10 #%11")
        .arg(name, DateText::format(post), due.isValid() ? DateText::format(due) : QStringLiteral("-"))
        .arg(ed)
        .arg(used)
        .arg(optionalText(tx), withdrawal ? QStringLiteral("T") : QStringLiteral("F"), optionalText(y),
             optionalText(m), optionalText(d), optionalText(card));
}

QStringList planTexts(const Result& result)
{
    QStringList texts;
    for (const PlanRow& r : result.plan) {
        const QVariant y = r.withdrawal ? QVariant(r.dueYear) : QVariant();
        const QVariant m = r.withdrawal ? QVariant(r.dueMonth) : QVariant();
        const QVariant d = r.withdrawal ? QVariant(r.dueDay) : QVariant();
        texts << planText(r.name, r.postDate, r.dueDate, r.amount, r.used, opt(r.withdrawals), r.withdrawal,
                          y, m, d, opt(r.cardId));
    }
    return texts;
}

QStringList journalTexts(Query& q)
{
    QStringList texts;
    for (q.first(); !q.eof(); q.next())
        texts << journalText(q.dateValue("d_post_date"), q.textValue("c_name_tx"), q.textValue("c_name_hk"),
                             q.textValue("TF"), q.value("i_tx_num"), q.value("i_hk_num"));
    return texts;
}

QStringList planTexts(Query& q)
{
    QStringList texts;
    for (q.first(); !q.eof(); q.next())
        texts << planText(q.textValue("c_name"), q.dateValue("c_post_date"), q.dateValue("c_re_date"),
                          q.intValue("i_ed"), q.intValue("i_yyed"), q.value("i_tx_num"), q.boolValue("tf_tx"),
                          q.value("y_y"), q.value("y_m"), q.value("y_d"), q.value("xyk_id"));
    return texts;
}

Parameters params(int periods, int startYear = 2013, int startMonth = 9, int pool = 0, int loan = 10000,
                  int loanDay = 18)
{
    Parameters p;
    p.pool = pool;
    p.loan = loan;
    p.loanDay = loanDay;
    p.startYear = startYear;
    p.startMonth = startMonth;
    p.periods = periods;
    return p;
}

// Cards as "name:statement day:repayment day[:withdrawals]", ids 1, 2, 3 ... in order.
std::vector<Card> cardsOf(const QStringList& descriptions)
{
    std::vector<Card> cards;
    for (const QString& description : descriptions) {
        const QStringList f = description.split(u':');
        cards.push_back(Card{int(cards.size()) + 1, f[0], f[1].toInt(), f[2].toInt(), f.value(3).toInt()});
    }
    return cards;
}

const QStringList kAbc = {"A:5:25:0", "B:8:28:0", "C:9:3:0"};

// The example of three cards over the first two months (ids A=1, B=2, C=3).
const QStringList kAbcJournal = {"2013-9-6 A>储蓄卡 提现 1/-", "2013-9-18 储蓄卡>贷款卡 还贷 -/1",
                                 "2013-10-9 B>储蓄卡 提现 1/-", "2013-10-18 储蓄卡>贷款卡 还贷 -/1",
                                 "2013-10-24 C>A 还款 2/-"};
const QStringList kAbcPlan = {
    "A 2013-9-6>2013-10-25 0 0 1 T 2013/10/25 #1", "B 2013-10-9>2013-11-28 0 0 1 T 2013/11/28 #2",
    "C 2013-10-24>2013-11-3 0 0 1 T 2013/11/3 #3", "A 2013-10-24>- 10000 0 - F -/-/- #3"};

} // namespace

class TestCashFlow : public QObject
{
    Q_OBJECT
private slots:
    void journalScenarios_data();
    void journalScenarios();
    void threeCardsExample();
    void dueRowsMatchYearAndMonth();
    void withdrawalFollowsClampedStatementDay_data();
    void withdrawalFollowsClampedStatementDay();
    void parametersAreChecked_data();
    void parametersAreChecked();

    void runWritesTablesAndLeavesCardsAlone();
    void invalidParametersTouchNothing();
    void failedWriteKeepsPreviousPlan();
};

void TestCashFlow::journalScenarios_data()
{
    // clang-format off
    QTest::addColumn<QStringList>("cards");
    QTest::addColumn<Parameters>("parameters");
    QTest::addColumn<QStringList>("journal");
    QTest::addColumn<int>("loanTotal");
    QTest::addColumn<int>("selfRaised");

    QTest::newRow("no cards, defaults")
        << QStringList() << params(5)
        << QStringList{"2013-9-18 自筹>贷款卡 还贷 -/1", "2013-10-18 自筹>贷款卡 还贷 -/1",
                       "2013-11-18 自筹>贷款卡 还贷 -/1", "2013-12-18 自筹>贷款卡 还贷 -/1",
                       "2014-1-18 自筹>贷款卡 还贷 -/1"}
        << 50000 << 50000;
    QTest::newRow("no cards, pool pays while it holds enough")
        << QStringList() << params(3, 2013, 9, 25000)
        << QStringList{"2013-9-18 储蓄卡>贷款卡 还贷 -/1", "2013-10-18 储蓄卡>贷款卡 还贷 -/1",
                       "2013-11-18 自筹>贷款卡 还贷 -/1"}
        << 30000 << 10000;
    // December: the card falls due in January of the next year, which is the next period.
    // No card is free in January: no money comes in, the pool (5000) is short, and the due
    // card is repaid from self-raised money, so it is free again in February.
    QTest::newRow("december start, period without free card")
        << QStringList{"A:5:25"} << params(3, 2013, 12, 5000)
        << QStringList{"2013-12-6 A>储蓄卡 提现 1/-",    "2013-12-18 储蓄卡>贷款卡 还贷 -/1",
                       "2014-1-18 自筹>贷款卡 还贷 -/1", "2014-1-24 自筹>A 还款 -/-",
                       "2014-2-6 A>储蓄卡 提现 1/-",     "2014-2-18 储蓄卡>贷款卡 还贷 -/1"}
        << 30000 << 20000;
    // November: B and C fall due, only D is free; D repays B (the earlier one), C is self-raised.
    QTest::newRow("more cards due than free") << QStringList{"A:1:10", "B:2:11", "C:3:12", "D:4:13"}
                                              << params(3) << QStringList{"2013-9-2 A>储蓄卡 提现 1/-",
                                                                          "2013-9-18 储蓄卡>贷款卡 还贷 -/1",
                                                                          "2013-10-3 B>储蓄卡 提现 1/-",
                                                                          "2013-10-18 储蓄卡>贷款卡 还贷 -/1",
                                                                          "2013-10-9 C>A 还款 2/-",
                                                                          "2013-11-2 A>储蓄卡 提现 1/-",
                                                                          "2013-11-18 储蓄卡>贷款卡 还贷 -/1",
                                                                          "2013-11-10 D>B 还款 2/-",
                                                                          "2013-11-11 自筹>C 还款 -/-"}
                                              << 30000 << 10000;
    // Days beyond a month's end fall on its last day: the day after statement day 30 and loan
    // day 31 in October, repayment day and loan day 31 in November.
    QTest::newRow("days clamped to month end")
        << QStringList{"A:30:31"} << params(2, 2013, 10, 0, 10000, 31)
        << QStringList{"2013-10-31 A>储蓄卡 提现 1/-", "2013-10-31 储蓄卡>贷款卡 还贷 -/1",
                       "2013-11-30 自筹>贷款卡 还贷 -/1", "2013-11-29 自筹>A 还款 -/-"}
        << 20000 << 20000;
    QTest::newRow("stored withdrawal count goes on")
        << QStringList{"A:5:25:7", "B:6:26:0", "C:7:3:3"} << params(2)
        << QStringList{"2013-9-6 A>储蓄卡 提现 1/-", "2013-9-18 储蓄卡>贷款卡 还贷 -/1",
                       "2013-10-7 B>储蓄卡 提现 1/-", "2013-10-18 储蓄卡>贷款卡 还贷 -/1",
                       "2013-10-24 C>A 还款 5/-"}
        << 20000 << 0;
    // clang-format on
}

void TestCashFlow::journalScenarios()
{
    QFETCH(QStringList, cards);
    QFETCH(Parameters, parameters);
    QFETCH(QStringList, journal);
    QFETCH(int, loanTotal);
    QFETCH(int, selfRaised);
    const Result result = simulate(parameters, cardsOf(cards));
    QCOMPARE(journalTexts(result), journal);
    QCOMPARE(result.periodsRun, parameters.periods);
    QCOMPARE(result.loanTotal, qint64(loanTotal));
    QCOMPARE(result.selfRaised, qint64(selfRaised));

    // The same through the database: the journal list shows the rows by date.
    TempHome home;
    DataModule data;
    data.open(home.databasePath());
    for (const Card& card : cardsOf(cards)) {
        CardBuilder(data.database())
            .name(card.name)
            .statementDay(card.statementDay)
            .repaymentDay(card.repaymentDay)
            .set("i_tx_num", card.withdrawals)
            .insert();
    }
    const Result stored = run(data, parameters);
    QCOMPARE(stored.loanTotal, qint64(loanTotal));
    QCOMPARE(stored.selfRaised, qint64(selfRaised));
    QStringList shown = journalTexts(data.journal());
    const int dateColumn = data.journal().fieldIndex("d_post_date");
    for (int i = 1; i < shown.size(); ++i)
        QVERIFY(data.journal().valueAt(i - 1, dateColumn).toDate() <=
                data.journal().valueAt(i, dateColumn).toDate());
    shown.sort();
    journal.sort();
    QCOMPARE(shown, journal);
}

void TestCashFlow::threeCardsExample()
{
    const Result result = simulate(params(2), cardsOf(kAbc));
    QCOMPARE(journalTexts(result), kAbcJournal);
    QCOMPARE(planTexts(result), kAbcPlan);
    QCOMPARE(result.selfRaised, qint64(0));

    // The card list order does not matter; ties in statement day go by id.
    std::vector<Card> reversed = cardsOf(kAbc);
    std::reverse(reversed.begin(), reversed.end());
    QCOMPARE(journalTexts(simulate(params(2), reversed)), kAbcJournal);
}

void TestCashFlow::withdrawalFollowsClampedStatementDay_data()
{
    // clang-format off
    QTest::addColumn<int>("statementDay");
    QTest::addColumn<QDate>("month"); // the period withdrawn in
    QTest::addColumn<QDate>("withdrawal");
    QTest::newRow("ordinary day")                  << 5  << QDate(2013, 9, 1)  << QDate(2013, 9, 6);
    QTest::newRow("30 in February of a leap year") << 30 << QDate(2024, 2, 1)  << QDate(2024, 3, 1);
    QTest::newRow("30 in February")                << 30 << QDate(2023, 2, 1)  << QDate(2023, 3, 1);
    QTest::newRow("31 in April")                   << 31 << QDate(2024, 4, 1)  << QDate(2024, 5, 1);
    QTest::newRow("31 in January")                 << 31 << QDate(2024, 1, 1)  << QDate(2024, 2, 1);
    QTest::newRow("31 in December")                << 31 << QDate(2024, 12, 1) << QDate(2025, 1, 1);
    QTest::newRow("28 in February of a leap year") << 28 << QDate(2024, 2, 1)  << QDate(2024, 2, 29);
    QTest::newRow("30 in October")                 << 30 << QDate(2013, 10, 1) << QDate(2013, 10, 31);
    // clang-format on
}

void TestCashFlow::withdrawalFollowsClampedStatementDay()
{
    QFETCH(int, statementDay);
    QFETCH(QDate, month);
    QFETCH(QDate, withdrawal);
    const Result result = simulate(params(1, month.year(), month.month()),
                                   cardsOf({QStringLiteral("A:%1:25").arg(statementDay)}));
    QCOMPARE(result.plan.at(0).postDate, withdrawal);
    QCOMPARE(result.journal.at(0).date, withdrawal);
    QCOMPARE(result.journal.at(0).from, QStringLiteral("A"));
}

void TestCashFlow::dueRowsMatchYearAndMonth()
{
    // Over 30 months every withdrawal is repaid exactly once, in the month it falls due.
    const Result result = simulate(params(30), cardsOf({"A:5:25", "B:8:28", "C:9:3", "D:12:2"}));
    QHash<QString, int> open; // card name -> due month of its open withdrawal
    int repayments = 0;
    for (const PlanRow& row : result.plan) {
        if (row.withdrawal) {
            QVERIFY2(!open.contains(row.name), qPrintable(row.name + " withdrawn twice"));
            open.insert(row.name, row.dueYear * 12 + row.dueMonth);
        } else {
            QVERIFY2(open.contains(row.name), qPrintable(row.name + " repaid while not withdrawn"));
            QCOMPARE(row.postDate.year() * 12 + row.postDate.month(), open.take(row.name));
            ++repayments;
        }
    }
    QVERIFY(repayments > 30);
    // What is still open falls due after the last month run (2016-2).
    for (int due : open)
        QCOMPARE(due, 2016 * 12 + 3);
}

void TestCashFlow::parametersAreChecked_data()
{
    // clang-format off
    QTest::addColumn<QString>("pool");
    QTest::addColumn<QString>("loan");
    QTest::addColumn<int>("periods");
    QTest::addColumn<QString>("message");
    QTest::newRow("good")                 << " 5000" << "-10000"     << 5 << "";
    QTest::newRow("pool not integer")     << "12a"   << "10000"      << 5 << "周转金“12a”不是有效的整数。";
    QTest::newRow("loan empty")           << "0"     << ""           << 5 << "贷款金“”不是有效的整数。";
    QTest::newRow("loan too large")       << "0"     << "2147483648" << 5 << "贷款金“2147483648”不是有效的整数。";
    QTest::newRow("loan fraction")        << "0"     << "100.5"      << 5 << "贷款金“100.5”不是有效的整数。";
    QTest::newRow("periods out of range") << "0"     << "10000"      << 0 << "期数必须在 1 到 2100 之间。";
    // clang-format on
}

void TestCashFlow::parametersAreChecked()
{
    QFETCH(QString, pool);
    QFETCH(QString, loan);
    QFETCH(int, periods);
    QFETCH(QString, message);
    try {
        const Parameters p = readParameters(pool, loan, 18, 2013, 9, periods);
        QVERIFY(message.isEmpty());
        QCOMPARE(p.pool, 5000);
        QCOMPARE(p.loan, -10000);
    } catch (const Error& e) {
        QCOMPARE(e.message(), message);
    }
}

namespace {
struct Fixture
{
    TempHome home;
    DataModule data;
    Fixture() { data.open(home.databasePath()); }
    QVariantList card(int id)
    {
        Query q(data.database(), "probe");
        q.setSql(QStringLiteral("select * from txyk where id=%1").arg(id));
        q.open();
        return {q.value("i_ed"), q.value("tf_tx"), q.value("i_tx_num")};
    }
    void seedAbc()
    {
        CardBuilder b(data.database());
        b.name("C").statementDay(9).repaymentDay(3).limit(30000).set("i_tx_num", 0).insert();
        b.name("A").statementDay(5).repaymentDay(25).limit(50000).set("i_tx_num", 0).insert();
        b.name("B").statementDay(8).repaymentDay(28).limit(8000).insert(); // no count stored
    }
};

// The example's plan with the database's ids (C=1, A=2, B=3).
QStringList abcPlanWithDatabaseIds()
{
    QStringList plan = kAbcPlan;
    plan.replaceInStrings("#1", "#a").replaceInStrings("#3", "#1").replaceInStrings("#2", "#3");
    plan.replaceInStrings("#a", "#2");
    return plan;
}
} // namespace

void TestCashFlow::runWritesTablesAndLeavesCardsAlone()
{
    Fixture f;
    f.seedAbc();
    f.data.cards().setSql("select * from txyk where c_name='B'");
    f.data.cards().open();
    // Rows left by an earlier run are replaced, not added to; a rerun gives the same plan.
    f.data.database().executeSql("INSERT INTO tjz (c_name_tx, TF) VALUES ('old', '提现')");
    f.data.database().executeSql("INSERT INTO Txyk_jz (c_name, tf_tx, y_y, y_m) VALUES ('old', 1, 2013, 10)");
    for (int round = 0; round < 2; ++round) {
        const Result result = run(f.data, params(2));
        QCOMPARE(result.periodsRun, 2);
        QCOMPARE(journalTexts(f.data.journal()), kAbcJournal);
        QCOMPARE(planTexts(f.data.planRows()), abcPlanWithDatabaseIds());
    }
    QCOMPARE(f.card(1), QVariantList({30000, false, 0}));
    QCOMPARE(f.card(2), QVariantList({50000, false, 0}));
    QCOMPARE(f.card(3), QVariantList({8000, false, QVariant()}));

    Query& cards = f.data.cards();
    QCOMPARE(cards.sql(), DataModule::kAllCardsStatement);
    QVERIFY(cards.isOpen());
    QStringList names;
    for (cards.first(); !cards.eof(); cards.next())
        names << cards.textValue("c_name");
    QCOMPARE(names, QStringList({"A", "B", "C"}));
}

void TestCashFlow::invalidParametersTouchNothing()
{
    Fixture f;
    f.seedAbc();
    run(f.data, params(2));
    f.data.cards().setSql("select * from txyk where c_name='B'");
    f.data.cards().open();
    Parameters bad = params(2);
    bad.startMonth = 13;
    QVERIFY_THROWS_EXCEPTION(Error, run(f.data, bad));
    f.data.journal().setSql(f.data.journal().sql());
    f.data.journal().open();
    QCOMPARE(journalTexts(f.data.journal()), kAbcJournal);
    QCOMPARE(f.data.cards().recordCount(), 1);
}

void TestCashFlow::failedWriteKeepsPreviousPlan()
{
    Fixture f;
    f.seedAbc();
    run(f.data, params(2));
    // A write that fails halfway through the new plan (its first repayment row) undoes all of it.
    f.data.database().executeSql("CREATE TRIGGER refuse BEFORE INSERT ON Txyk_jz WHEN NEW.tf_tx = 0 "
                                 "BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    QVERIFY_THROWS_EXCEPTION(Error, run(f.data, params(3)));
    for (Query* q : {&f.data.journal(), &f.data.planRows()}) {
        q->setSql(q->sql());
        q->open();
    }
    QCOMPARE(journalTexts(f.data.journal()), kAbcJournal);
    QCOMPARE(planTexts(f.data.planRows()), abcPlanWithDatabaseIds());
}

QTEST_GUILESS_MAIN(TestCashFlow)
#include "tst_cashflow.moc"
