#include "billing/CardSchedule.h"
#include "billing/PaidState.h"
#include "billing/RefreshPass.h"
#include "remind/Snooze.h"
#include "store/DataModule.h"
#include "store/Database.h"
#include "store/Error.h"
#include "store/SqlDialect.h"
#include "support/TempHome.h"
#include "views/CardFilter.h"

#include <QtTest>

class TestSqlDialect : public QObject
{
    Q_OBJECT
private slots:
    void translates_data();
    void translates();
    void programStatementsRunOnSqlite_data();
    void programStatementsRunOnSqlite();
    void invalidDateLiteralThrows();
    void quotedEscapesQuotes();
};

void TestSqlDialect::translates_data()
{
    // clang-format off
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("expected");
    QTest::newRow("refresh update")
        << "UPDATE Txyk SET i_zdhkje = 33,c_re_date = #2013-9-8#,c_next_re_date = "
           "#2013-10-8#,c_jd_date=#2013-9-20#,"
           "c_next_jd_date = #2013-10-20#,i_xyr=3,i_xf=3 where id=1"
        << "UPDATE Txyk SET i_zdhkje = 33,c_re_date = '2013-09-08',c_next_re_date = '2013-10-08',"
           "c_jd_date='2013-09-20',c_next_jd_date = '2013-10-20',i_xyr=3,i_xf=3 where id=1";
    QTest::newRow("glued and") << "select id,c_re_date,c_name,c_no,i_xyr,tf,i_zdhkje,i_xf from txyk where "
                                  "tf=False and (i_xyr>=0and i_xyr<=2)"
                               << "select id,c_re_date,c_name,c_no,i_xyr,tf,i_zdhkje,i_xf from txyk where "
                                  "tf=0 and (i_xyr>=0 and i_xyr<=2)";
    QTest::newRow("lower-case false") << "select i_xyr,tf from txyk where  tf=false and i_xyr<=-1"
                                      << "select i_xyr,tf from txyk where  tf=0 and i_xyr<=-1";
    QTest::newRow("holder order") << "select * from tname  order by c_jzr\n" << "select * from tname  order by c_name\n";
    QTest::newRow("holder order inside quotes untouched")
        << "select * from txyk where cname='select * from tname  order by c_jzr'"
        << "select * from txyk where cname='select * from tname  order by c_jzr'";
    QTest::newRow("card order untouched") << "select * from txyk  order by c_jzr" << "select * from txyk  order by c_jzr";
    QTest::newRow("quoted text untouched")
        << "select * from txyk  where  1=1  and cname='True #1# 0and' order by c_jzr"
        << "select * from txyk  where  1=1  and cname='True #1# 0and' order by c_jzr";
    QTest::newRow("doubled quote") << "select * from txyk where cname='O''Brien' and tf=True" << "select * from txyk where cname='O''Brien' and tf=1";
    QTest::newRow("NUL inside quotes")
        << (QStringLiteral("select * from txyk where cname='a") + QChar(0) + QStringLiteral("b'"))
        << "select * from txyk where cname='a'||char(0)||'b'";
    QTest::newRow("identifiers with digits") << "select i_tx_num2 from x where y_m=12" << "select i_tx_num2 from x where y_m=12";
    QTest::newRow("decimal number") << "UPDATE t SET a = 1.5" << "UPDATE t SET a = 1.5";
    QTest::newRow("leading zero date") << "select * from tjz where d_post_date=#2013-09-05#" << "select * from tjz where d_post_date='2013-09-05'";
    // clang-format on
}

void TestSqlDialect::translates()
{
    QFETCH(QString, statement);
    QFETCH(QString, expected);
    QCOMPARE(SqlDialect::translate(statement), expected);
}

// Every statement the program builds, as it builds it, must run on the SQLite schema.
void TestSqlDialect::programStatementsRunOnSqlite_data()
{
    // clang-format off
    QTest::addColumn<QString>("statement");
    const auto add = [](const QString& statement) { QTest::newRow(qPrintable(statement)) << statement; };
    DataModule data; // the statements its queries start with
    for (Query* query : {&data.cards(), &data.planRows(), &data.journal(), &data.holders(),
                         &data.plannerScratch(), &data.scratch()})
        add(query->sql());
    add(DataModule::kAllCardsStatement);

    const auto schedule = computeCardSchedule(QDate(2013, 9, 5), 20, 8, 1.5, 1234);
    QVERIFY(schedule);
    add(cardUpdateStatement(1, *schedule));
    add(cardUpdateTemplate());
    add(clearCardScheduleStatement(1));
    for (int i = 0; i < 8; ++i)
        add(Refresh::countStatement(i));
    add(Refresh::kDueSoonStatement);
    add(Refresh::monthlyResetStatement(QDate(2013, 9, 5)));
    add(PaidState::markRepaidStatement(12, QDate(2013, 9, 9)));
    add(PaidState::markUnpaidStatement(12));
    add(Snooze::statement(3600000, 3));
    for (int i = 0; i < 8; ++i)
        add(CardFilter::quickStatement(i));
    using CardFilter::FilterEvent;
    using CardFilter::StateChoice;
    add(CardFilter::statementFor(
        FilterEvent::HolderClosed,
        {StateChoice::Unpaid, true, true, QStringLiteral("本人"), QStringLiteral("三天内"), 3}).statement);
    add(CardFilter::statementFor(
        FilterEvent::WindowClosed,
        {StateChoice::Unpaid, true, true, QStringLiteral("所有"), QStringLiteral("今天"), 1}).statement);
    add(CardFilter::statementFor(FilterEvent::OverdueChosen, {StateChoice::Overdue, true, false, {}, {}, 0}).statement);
    add(CardFilter::statementFor(FilterEvent::PaidChosen,
                                 {StateChoice::Paid, false, false, QStringLiteral("O'Brien"), {}, 0}).statement);

    // Shapes the planner and older files use that no function here builds.
    const char* statements[] = {
        "UPDATE Txyk SET tf_tx = False,i_ed=10000",
        "delete from Tjz",
        "delete from Txyk_jz",
        "select * from Txyk where tf_tx=False order by c_jzr",
        "select * from Txyk where tf_tx=True",
        "select * from Txyk_jz where tf_tx=True and y_m=9",
    };
    for (const char* s : statements)
        add(QString::fromUtf8(s));
    // clang-format on
}

void TestSqlDialect::programStatementsRunOnSqlite()
{
    QFETCH(QString, statement);
    TempHome home;
    Database db;
    db.open(home.databasePath());
    try {
        db.execute(statement);
    } catch (const Error& e) {
        QFAIL(qPrintable(e.message()));
    }
}

void TestSqlDialect::invalidDateLiteralThrows()
{
    try {
        SqlDialect::translate(QStringLiteral("UPDATE Txyk SET c_re_date = #2013-2-30# where id=1"));
        QFAIL("no error");
    } catch (const Error& e) {
        QCOMPARE(e.message(), QStringLiteral("'2013-2-30' is not a valid date"));
    }
}

void TestSqlDialect::quotedEscapesQuotes()
{
    QCOMPARE(SqlDialect::quoted(QStringLiteral("O'Brien")), QStringLiteral("'O''Brien'"));
    QCOMPARE(SqlDialect::quoted(QStringLiteral("本人")), QStringLiteral("'本人'"));
}

QTEST_GUILESS_MAIN(TestSqlDialect)
#include "tst_sqldialect.moc"
