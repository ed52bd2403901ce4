#include "store/DataModule.h"
#include "store/Error.h"
#include "store/Query.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

// Three cards: A (day 20), B (day 5), C (day 12), with a few values set.
class TestQuery : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void passesModelTester();
    void replacingStatementCloses();
    void cursorWalk();
    void locateFindsRow();
    void fieldDefaults();
    void editPostsWithBoundValues();
    void cancelDiscards();
    void movingSavesPendingEdit();
    void insertAndAppendCreateRows();
    void typingIntoEmptyListStartsNewRow();
    void removeDeletes();
    void refreshKeepsRowsCurrentAndSort();
    void sortByFieldBothWays();
    void suspendNests();
    void closedQueryRefusesUse();
    void boundValuesStayWithTheirStatement();

private:
    QString readName(int id);
    TempHome* m_home = nullptr;
    DataModule* m_data = nullptr;
    int m_a = 0, m_b = 0, m_c = 0;
};

void TestQuery::init()
{
    m_home = new TempHome;
    m_data = new DataModule;
    m_data->open(m_home->databasePath());
    CardBuilder cards(m_data->database());
    m_a = cards.name(QStringLiteral("A")).statementDay(20).repaymentDay(8).ratio(1.5).insert();
    m_b = cards.name(QStringLiteral("B")).statementDay(5).repaymentDay(25).daysLeft(2).insert();
    m_c = cards.name(QStringLiteral("C"))
              .statementDay(12)
              .repaymentDay(1)
              .daysLeft(-3)
              .repaid(true, 9, 2013)
              .insert();
    m_data->cards().setSql(DataModule::kAllCardsStatement);
    m_data->cards().open();
}

void TestQuery::cleanup()
{
    delete m_data;
    delete m_home;
}

QString TestQuery::readName(int id)
{
    const QVariantList row =
        Stored::row(m_data->database(), QStringLiteral("select c_name from txyk where id=?"), {id});
    return row.isEmpty() ? QStringLiteral("<none>") : row.first().toString();
}

void TestQuery::passesModelTester()
{
    Query& q = m_data->cards();
    QAbstractItemModelTester tester(&q, QAbstractItemModelTester::FailureReportingMode::QtTest);
    q.setSort(QStringLiteral("c_name DESC"));
    q.edit();
    q.setValue(QStringLiteral("c_name"), QStringLiteral("AA"));
    q.post();
    q.append();
    q.setValue(QStringLiteral("c_name"), QStringLiteral("D"));
    q.post();
    q.refresh();
    q.remove();
    q.insert();
    q.cancel();
    q.setSql(DataModule::kAllCardsStatement);
    q.open();
    QCOMPARE(q.recordCount(), 3);
}

void TestQuery::replacingStatementCloses()
{
    Query& q = m_data->cards();
    QVERIFY(q.isOpen());
    q.setSql(q.sql());
    QVERIFY(!q.isOpen());
    QCOMPARE(q.rowCount(), 0);
    q.open();
    QCOMPARE(q.recordCount(), 3);
}

void TestQuery::cursorWalk()
{
    Query& q = m_data->cards();
    QStringList names;
    for (q.first(); !q.eof(); q.next())
        names << q.textValue(QStringLiteral("c_name"));
    QCOMPARE(names, QStringList({"B", "C", "A"})); // order by c_jzr
    QCOMPARE(q.currentRow(), 2);
    q.prior();
    QCOMPARE(q.textValue(QStringLiteral("c_name")), QStringLiteral("C"));
    q.first();
    q.prior();
    QVERIFY(q.bof());
    QCOMPARE(q.currentRow(), 0);
}

void TestQuery::locateFindsRow()
{
    Query& q = m_data->cards();
    QVERIFY(q.locate(QStringLiteral("id"), m_a));
    QCOMPARE(q.textValue(QStringLiteral("c_name")), QStringLiteral("A"));
    QVERIFY(!q.locate(QStringLiteral("c_name"), QStringLiteral("Z")));
    QCOMPARE(q.textValue(QStringLiteral("c_name")), QStringLiteral("A"));
}

void TestQuery::fieldDefaults()
{
    Query& q = m_data->cards();
    QVERIFY(q.locate(QStringLiteral("id"), m_a));
    QCOMPARE(q.intValue(QStringLiteral("i_xf")), 0); // empty reads as 0
    QCOMPARE(q.numberValue(QStringLiteral("i_zdhkbl")), 1.5);
    QCOMPARE(q.boolValue(QStringLiteral("tf")), false);
    QCOMPARE(q.dateValue(QStringLiteral("c_re_date")), QDate());
    QCOMPARE(q.textValue(QStringLiteral("c_no")), QString());
    QVERIFY(q.value(QStringLiteral("i_xyr")).isNull());
    QVERIFY_THROWS_EXCEPTION(Error, q.value(QStringLiteral("nope")));
    QVERIFY(q.locate(QStringLiteral("id"), m_c));
    QCOMPARE(q.boolValue(QStringLiteral("tf")), true);
    QCOMPARE(q.intValue(QStringLiteral("i_hky")), 2013);
}

void TestQuery::editPostsWithBoundValues()
{
    Query& q = m_data->cards();
    QVERIFY(q.locate(QStringLiteral("id"), m_a));
    const QString tricky = QStringLiteral("O'Brien\"; drop table txyk; --");
    q.setValue(QStringLiteral("c_name"), tricky);
    QCOMPARE(q.state(), Query::State::Edit);
    q.setValue(QStringLiteral("c_re_date"), QDate(2013, 9, 8));
    q.post();
    QCOMPARE(q.state(), Query::State::Browse);
    QCOMPARE(readName(m_a), tricky);
    QCOMPARE(Stored::field(m_data->database(), m_a, QStringLiteral("c_re_date")).toString(),
             QStringLiteral("2013-09-08"));
    QCOMPARE(q.data(q.index(q.currentRow(), q.fieldIndex(QStringLiteral("c_re_date")))).toString(),
             QStringLiteral("2013-9-8"));
    QVERIFY_THROWS_EXCEPTION(Error, q.setValue(QStringLiteral("c_jzr"), QStringLiteral("abc")));
}

void TestQuery::cancelDiscards()
{
    Query& q = m_data->cards();
    QVERIFY(q.locate(QStringLiteral("id"), m_b));
    q.setValue(QStringLiteral("c_name"), QStringLiteral("changed"));
    QCOMPARE(q.textValue(QStringLiteral("c_name")), QStringLiteral("changed"));
    q.cancel();
    QCOMPARE(q.textValue(QStringLiteral("c_name")), QStringLiteral("B"));
    QCOMPARE(readName(m_b), QStringLiteral("B"));
}

void TestQuery::movingSavesPendingEdit()
{
    Query& q = m_data->cards();
    q.first();
    q.setValue(QStringLiteral("c_name"), QStringLiteral("B2"));
    q.next();
    QCOMPARE(q.state(), Query::State::Browse);
    QCOMPARE(readName(m_b), QStringLiteral("B2"));
}

void TestQuery::insertAndAppendCreateRows()
{
    Query& q = m_data->cards();
    q.moveTo(1);
    q.insert();
    QCOMPARE(q.currentRow(), 1);
    QCOMPARE(q.recordCount(), 4);
    q.setValue(QStringLiteral("c_name"), QStringLiteral("new"));
    q.setValue(QStringLiteral("c_jzr"), QStringLiteral("7"));
    q.post();
    QCOMPARE(q.boolValue(QStringLiteral("tf")), false); // default read back
    const int id = q.intValue(QStringLiteral("id"));
    QVERIFY(id > 0);
    QCOMPARE(readName(id), QStringLiteral("new"));
    q.append();
    QCOMPARE(q.currentRow(), 4);
    q.cancel();
    QCOMPARE(q.recordCount(), 4);
}

void TestQuery::typingIntoEmptyListStartsNewRow()
{
    Query& q = m_data->cards();
    q.setSql(QStringLiteral("select * from txyk where id=-1"));
    q.open();
    QVERIFY(q.isEmpty());
    q.setValue(QStringLiteral("c_name"), QStringLiteral("first"));
    QCOMPARE(q.state(), Query::State::Insert);
    q.post();
    QCOMPARE(q.recordCount(), 1);
}

void TestQuery::removeDeletes()
{
    Query& q = m_data->cards();
    QVERIFY(q.locate(QStringLiteral("id"), m_c));
    q.remove();
    QCOMPARE(q.recordCount(), 2);
    QCOMPARE(readName(m_c), QStringLiteral("<none>"));
    QCOMPARE(q.textValue(QStringLiteral("c_name")), QStringLiteral("A")); // the next row is current
}

void TestQuery::refreshKeepsRowsCurrentAndSort()
{
    Query& q = m_data->cards();
    q.setSql(QStringLiteral("select * from txyk  where  tf=False  order by c_jzr"));
    q.open();
    q.setSort(QStringLiteral("c_name DESC"));
    QVERIFY(q.locate(QStringLiteral("id"), m_b));
    // Another statement marks B repaid and renames A: the list keeps both rows.
    m_data->database().execute(
        QStringLiteral("UPDATE Txyk SET tf=True,i_hkm = 9,i_hky = 2013 where id=%1").arg(m_b));
    m_data->database().executeSql(QStringLiteral("update txyk set c_name='Z' where id=?"), {m_a});
    q.refresh();
    QCOMPARE(q.recordCount(), 2);
    QCOMPARE(q.intValue(QStringLiteral("id")), m_b);
    QCOMPARE(q.boolValue(QStringLiteral("tf")), true);
    QCOMPARE(q.sort(), QStringLiteral("c_name DESC"));
    q.first();
    QCOMPARE(q.textValue(QStringLiteral("c_name")), QStringLiteral("Z"));
}

void TestQuery::sortByFieldBothWays()
{
    Query& q = m_data->cards();
    auto names = [&] {
        QStringList n;
        for (int r = 0; r < q.rowCount(); ++r)
            n << q.data(q.index(r, q.fieldIndex(QStringLiteral("c_name")))).toString();
        return n;
    };
    q.setSort(QStringLiteral("i_xyr DESC"));
    QCOMPARE(names(), QStringList({"B", "C", "A"})); // 2, -3, empty
    q.setSort(QStringLiteral("i_xyr"));
    QCOMPARE(names(), QStringList({"A", "C", "B"}));
    q.setSql(q.sql());
    q.open();
    QCOMPARE(q.sort(), QString()); // reopening drops the sort
    QCOMPARE(names(), QStringList({"B", "C", "A"}));
}

void TestQuery::suspendNests()
{
    Query& q = m_data->cards();
    QSignalSpy spy(&q, &Query::currentRowChanged);
    q.disableControls();
    q.disableControls();
    q.next();
    q.enableControls();
    QCOMPARE(spy.count(), 0);
    q.enableControls();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.takeFirst().at(0).toInt(), 1);
}

void TestQuery::closedQueryRefusesUse()
{
    Query& q = m_data->scratch();
    QVERIFY(!q.isOpen());
    QVERIFY_THROWS_EXCEPTION(Error, q.first());
    QVERIFY_THROWS_EXCEPTION(Error, q.setSort(QStringLiteral("c_name")));
    q.setSql(QStringLiteral("select * from nosuchtable"));
    QVERIFY_THROWS_EXCEPTION(Error, q.open());
    QVERIFY(!q.isOpen());
}

QTEST_GUILESS_MAIN(TestQuery)
// A typed value (a holder with a quote) is bound; reopening the same statement, as the refresh
// and a command run through the list do, keeps it; another statement drops it.
void TestQuery::boundValuesStayWithTheirStatement()
{
    m_data->database().executeSql("UPDATE txyk SET cname=? WHERE id=?", {QStringLiteral("O'Brien"), m_b});
    Query& q = m_data->cards();
    const QString byHolder = QStringLiteral("select * from txyk where cname=? order by c_jzr");
    q.setSql(byHolder, {QStringLiteral("O'Brien")});
    q.open();
    QCOMPARE(q.recordCount(), 1);
    q.setSql(q.sql());
    q.open();
    QCOMPARE(q.recordCount(), 1);
    m_data->database().executeSql("UPDATE txyk SET tf=1 WHERE id=?", {m_a});
    q.open();
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(q.values(), QVariantList{QStringLiteral("O'Brien")});
    q.setSql(DataModule::kAllCardsStatement);
    QVERIFY(q.values().isEmpty());
}

#include "tst_query.moc"
