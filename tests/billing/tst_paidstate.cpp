#include "billing/PaidState.h"
#include "billing/RefreshPass.h"
#include "store/Clock.h"
#include "store/DataModule.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"

#include <QSignalSpy>
#include <QtTest>

// The card grid's context menu commands: repaid, not repaid, show all.
class TestPaidState : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void statementTexts();
    void markRepaidLeavesDueSoonListAndKeepsCardInView();
    void markUnpaidBringsCardBackAndKeepsYear();
    void emptyListChangesNothing();
    void markCoversTheRepaymentShown_data();
    void markCoversTheRepaymentShown();
    void showAllListsEveryCardByStatementDay();

private:
    QStringList dueSoonNames();
    QVariant field(int id, const QString& name);
    TempHome* m_home = nullptr;
    DataModule* m_data = nullptr;
    FixedClock m_clock{QDate(2013, 9, 9)};
    int m_dueA = 0, m_dueB = 0, m_later = 0;
};

void TestPaidState::init()
{
    m_home = new TempHome;
    m_data = new DataModule;
    m_data->open(m_home->databasePath());
    m_clock.setDate(QDate(2013, 9, 9));
    CardBuilder b(m_data->database());
    m_dueA = b.name(QStringLiteral("A")).statementDay(25).repaymentDay(10).insert(); // i_xyr 1
    m_dueB = b.name(QStringLiteral("B")).statementDay(20).repaymentDay(11).insert(); // i_xyr 2
    m_later = b.name(QStringLiteral("C")).statementDay(1).repaymentDay(20).insert(); // i_xyr 11
    RefreshPass(*m_data, m_clock).run();
}

void TestPaidState::cleanup()
{
    delete m_data;
    delete m_home;
}

QStringList TestPaidState::dueSoonNames()
{
    QStringList names;
    for (const DueSoonCard& card : readDueSoonCards(m_data->database()))
        names << card.name;
    names.sort();
    return names;
}

QVariant TestPaidState::field(int id, const QString& name)
{
    return Stored::field(m_data->database(), id, name);
}

void TestPaidState::statementTexts()
{
    QCOMPARE(PaidState::markRepaidStatement(12, QDate(2013, 9, 9)),
             QStringLiteral("UPDATE Txyk SET tf=True,i_hkm = 9,i_hky = 2013 where id=12"));
    QCOMPARE(PaidState::markRepaidStatement(3, QDate(2014, 12, 1)),
             QStringLiteral("UPDATE Txyk SET tf=True,i_hkm = 12,i_hky = 2014 where id=3"));
    QCOMPARE(PaidState::markUnpaidStatement(12),
             QStringLiteral("UPDATE Txyk SET tf=False,i_hkm = 0 where id=12"));
}

void TestPaidState::markRepaidLeavesDueSoonListAndKeepsCardInView()
{
    QCOMPARE(dueSoonNames(), QStringList({"A", "B"}));
    // The "not repaid" list, sorted by a title click, with card A current.
    Query& cards = m_data->cards();
    cards.setSql(QStringLiteral("select * from txyk where tf=False order by c_jzr"));
    cards.open();
    cards.setSort(QStringLiteral("c_name DESC"));
    QVERIFY(cards.locate(QStringLiteral("id"), m_dueA));
    const int row = cards.currentRow();

    PaidState::markCurrentRepaid(*m_data, m_clock);
    QCOMPARE(field(m_dueA, QStringLiteral("tf")).toInt(), 1);
    QCOMPARE(field(m_dueA, QStringLiteral("i_hkm")).toInt(), 9);
    QCOMPARE(field(m_dueA, QStringLiteral("i_hky")).toInt(), 2013);
    QCOMPARE(field(m_dueB, QStringLiteral("tf")).toInt(), 0);

    QCOMPARE(dueSoonNames(), QStringList({"B"}));
    // Refreshed in place: still listed, same row, new flag, sort kept.
    QCOMPARE(cards.recordCount(), 3);
    QCOMPARE(cards.currentRow(), row);
    QCOMPARE(cards.intValue(QStringLiteral("id")), m_dueA);
    QVERIFY(cards.boolValue(QStringLiteral("tf")));
    QCOMPARE(cards.sort(), QStringLiteral("c_name DESC"));

    // Marking again rewrites month and year with today's.
    m_clock.setDate(QDate(2013, 10, 2));
    PaidState::markCurrentRepaid(*m_data, m_clock);
    QCOMPARE(field(m_dueA, QStringLiteral("i_hkm")).toInt(), 10);
}

void TestPaidState::markUnpaidBringsCardBackAndKeepsYear()
{
    Query& cards = m_data->cards();
    QVERIFY(cards.locate(QStringLiteral("id"), m_dueB));
    PaidState::markCurrentRepaid(*m_data, m_clock);
    QCOMPARE(dueSoonNames(), QStringList({"A"}));

    PaidState::markCurrentUnpaid(*m_data);
    QCOMPARE(field(m_dueB, QStringLiteral("tf")).toInt(), 0);
    QCOMPARE(field(m_dueB, QStringLiteral("i_hkm")).toInt(), 0);
    QCOMPARE(field(m_dueB, QStringLiteral("i_hky")).toInt(), 2013);
    QCOMPARE(dueSoonNames(), QStringList({"A", "B"}));
    QCOMPARE(cards.intValue(QStringLiteral("id")), m_dueB);
    QVERIFY(!cards.boolValue(QStringLiteral("tf")));
}

void TestPaidState::emptyListChangesNothing()
{
    Query& cards = m_data->cards();
    cards.setSql(QStringLiteral("select * from txyk where c_jzr=99"));
    cards.open();
    PaidState::markCurrentRepaid(*m_data, m_clock);
    QCOMPARE(
        Stored::value(m_data->database(), QStringLiteral("SELECT count(*) FROM txyk WHERE tf=1")).toInt(), 0);
    QCOMPARE(dueSoonNames(), QStringList({"A", "B"}));
}

// A mark names the month of the repayment the card counts down to, so a repayment early next
// month marked at this month's end stays repaid after the monthly reset, until the repayment
// after it comes due.
void TestPaidState::markCoversTheRepaymentShown_data()
{
    // clang-format off
    QTest::addColumn<QDate>("markOn");
    QTest::addColumn<int>("j");
    QTest::addColumn<int>("h");
    QTest::addColumn<bool>("fromReminder"); // "还清" in the reminder, else "当月已还清"
    QTest::addColumn<int>("month");         // the mark stored
    QTest::addColumn<int>("year");
    QTest::addColumn<QDate>("stillRepaid"); // a later refresh that keeps the mark
    QTest::addColumn<QDate>("dueAgain");    // the first refresh at which the next repayment counts
    QTest::newRow("year end")                   << QDate(2026, 12, 31) << 20 << 1  << true  << 1  << 2027 << QDate(2027, 1, 29) << QDate(2027, 1, 30);
    QTest::newRow("statement before repayment") << QDate(2027, 1, 31)  << 1  << 2  << true  << 2  << 2027 << QDate(2027, 2, 27) << QDate(2027, 2, 28);
    QTest::newRow("end of February")            << QDate(2027, 2, 27)  << 25 << 1  << true  << 3  << 2027 << QDate(2027, 3, 29) << QDate(2027, 3, 30);
    QTest::newRow("two days ahead, from grid")  << QDate(2026, 12, 30) << 20 << 1  << false << 1  << 2027 << QDate(2027, 1, 16) << QDate(2027, 1, 30);
    QTest::newRow("this month's repayment")     << QDate(2026, 12, 10) << 20 << 15 << false << 12 << 2026 << QDate(2026, 12, 31) << QDate(2027, 1, 1);
    // clang-format on
}

void TestPaidState::markCoversTheRepaymentShown()
{
    QFETCH(QDate, markOn);
    QFETCH(int, j);
    QFETCH(int, h);
    QFETCH(bool, fromReminder);
    QFETCH(QDate, stillRepaid);
    QFETCH(QDate, dueAgain);
    m_data->database().executeSql(QStringLiteral("DELETE FROM txyk"));
    const int id =
        CardBuilder(m_data->database()).name(QStringLiteral("D")).statementDay(j).repaymentDay(h).insert();
    m_clock.setDate(markOn);
    RefreshPass(*m_data, m_clock).run();
    if (fromReminder) {
        QCOMPARE(dueSoonNames(), QStringList({"D"}));
        PaidState::markRepaid(*m_data, m_clock, id);
    } else {
        QVERIFY(m_data->cards().locate(QStringLiteral("id"), id));
        PaidState::markCurrentRepaid(*m_data, m_clock);
    }
    QCOMPARE(field(id, QStringLiteral("tf")).toInt(), 1);
    QTEST(field(id, QStringLiteral("i_hkm")).toInt(), "month");
    QTEST(field(id, QStringLiteral("i_hky")).toInt(), "year");
    QCOMPARE(dueSoonNames(), QStringList());

    for (const QDate& day : {markOn, stillRepaid}) {
        m_clock.setDate(day);
        const RefreshResult r = RefreshPass(*m_data, m_clock).run();
        QCOMPARE(field(id, QStringLiteral("tf")).toInt(), 1);
        QCOMPARE(r.dueSoonCount(), 0);
        QCOMPARE(r.counts[5], 0);
    }
    // The repayment after it is not paid by this mark.
    m_clock.setDate(dueAgain);
    const RefreshResult r = RefreshPass(*m_data, m_clock).run();
    QCOMPARE(field(id, QStringLiteral("tf")).toInt(), 0);
    QCOMPARE(r.counts[5], 1); // "15天内需还"
}

void TestPaidState::showAllListsEveryCardByStatementDay()
{
    Query& cards = m_data->cards();
    cards.setSql(QStringLiteral("select * from txyk where c_jzr>20"));
    cards.open();
    QSignalSpy moved(&cards, &Query::currentRowChanged);

    PaidState::showAllCards(*m_data);
    QVERIFY(!cards.controlsDisabled());
    QVERIFY(!moved.isEmpty()); // bound controls heard of the new list once resumed
    QCOMPARE(cards.sql(), QStringLiteral("select * from txyk  order by c_jzr"));
    QStringList order;
    for (cards.first(); !cards.eof(); cards.next())
        order << cards.textValue(QStringLiteral("c_name"));
    QCOMPARE(order, QStringList({"C", "B", "A"}));
}

QTEST_GUILESS_MAIN(TestPaidState)
#include "tst_paidstate.moc"
