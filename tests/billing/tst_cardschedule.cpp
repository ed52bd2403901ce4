#include "billing/CardSchedule.h"
#include "billing/RefreshPass.h"
#include "store/DataModule.h"
#include "store/DateText.h"
#include "store/SqlDialect.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"

#include <QtTest>
#include <limits>

// The per-card computation: dates, days left, minimum repayment, and the statement storing them.
class TestCardSchedule : public QObject
{
    Q_OBJECT
private slots:
    void workedExample_data();
    void workedExample();
    void firstRowStatement();
    void daysBeyondMonthEnd_data();
    void daysBeyondMonthEnd();
    void dueRepaymentAroundMonthEnds_data();
    void dueRepaymentAroundMonthEnds();
    void purchaseDaysFollowTheStatementBilled_data();
    void purchaseDaysFollowTheStatementBilled();
    void unusableDaysGiveNothing_data();
    void unusableDaysGiveNothing();
    void minimumRepaymentRoundsHalfToEven_data();
    void minimumRepaymentRoundsHalfToEven();
    void boundStatementStoresWhatTheTextStores();
    void tableGivesWhatEachCardComputes_data();
    void tableGivesWhatEachCardComputes();
};

namespace {
void addScheduleColumns()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("j");
    QTest::addColumn<int>("h");
    QTest::addColumn<double>("r");
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("jd");
    QTest::addColumn<QString>("re");
    QTest::addColumn<QString>("nextJd");
    QTest::addColumn<QString>("nextRe");
    QTest::addColumn<int>("xyr");
    QTest::addColumn<int>("xf");
    QTest::addColumn<double>("minimum");
}

void checkSchedule()
{
    QFETCH(QDate, today);
    QFETCH(int, j);
    QFETCH(int, h);
    QFETCH(double, r);
    QFETCH(double, x);
    const auto s = computeCardSchedule(today, j, h, r, x);
    QVERIFY(s);
    QTEST(DateText::format(s->statementDate), "jd");
    QTEST(DateText::format(s->repaymentDate), "re");
    QTEST(DateText::format(s->nextStatementDate), "nextJd");
    QTEST(DateText::format(s->nextRepaymentDate), "nextRe");
    QTEST(s->daysLeft, "xyr");
    QTEST(s->purchaseDaysLeft, "xf");
    QTEST(s->minRepayment, "minimum");
}
} // namespace

void TestCardSchedule::workedExample_data()
{
    // clang-format off
    // X is the amount used (i_yxf). A purchase made before the statement day is billed on it and
    // repaid with that statement (2013-9-5: billed 9-20, repaid 10-8). From the 15th day before
    // next month's repayment day on, a card whose repayment of this month has passed counts down
    // to next month's.
    addScheduleColumns();
    QTest::newRow("before both days") << QDate(2013, 9, 5) << 20 << 8 << 10.0 << 33.0 << "2013-9-20"
                                      << "2013-9-8"
                                      << "2013-10-20"
                                      << "2013-10-8" << 3 << 33 << 33.0;
    QTest::newRow("on the statement day") << QDate(2013, 9, 20) << 20 << 8 << 1.0 << 0.0 << "2013-9-20"
                                          << "2013-9-8"
                                          << "2013-10-20"
                                          << "2013-10-8" << -12 << 18 << 0.0;
    QTest::newRow("after the statement day") << QDate(2013, 9, 25) << 20 << 8 << 1.0 << 44.0 << "2013-9-20"
                                             << "2013-9-8"
                                             << "2013-10-20"
                                             << "2013-11-8" << -17 << 44 << 4.0;
    QTest::newRow("repayment day today") << QDate(2013, 9, 25) << 5 << 25 << 1.0 << 30.0 << "2013-9-5"
                                         << "2013-9-25"
                                         << "2013-10-5"
                                         << "2013-10-25" << 0 << 30 << 3.0;
    QTest::newRow("November into January") << QDate(2013, 11, 25) << 20 << 8 << 1.0 << 0.0 << "2013-11-20"
                                           << "2013-11-8"
                                           << "2013-12-20"
                                           << "2014-1-8" << -17 << 44 << 0.0;
    QTest::newRow("December into January") << QDate(2013, 12, 10) << 20 << 8 << 1.0 << 0.0 << "2013-12-20"
                                           << "2013-12-8"
                                           << "2014-1-20"
                                           << "2014-1-8" << -2 << 29 << 0.0;
    // clang-format on
}

void TestCardSchedule::workedExample()
{
    checkSchedule();
}

void TestCardSchedule::firstRowStatement()
{
    const auto s = computeCardSchedule(QDate(2013, 9, 5), 20, 8, 10, 33);
    QVERIFY(s);
    QCOMPARE(cardUpdateStatement(1, *s),
             QStringLiteral("UPDATE Txyk SET i_zdhkje = 33,c_re_date = #2013-9-8#,c_next_re_date = "
                            "#2013-10-8#,c_jd_date=#2013-9-20#,c_next_jd_date = #2013-10-20#,i_xyr=3,i_xf=33 "
                            "where id=1"));
    // Negative days carry their minus sign.
    const auto late = computeCardSchedule(QDate(2013, 9, 20), 20, 8, 1, 44);
    QVERIFY(cardUpdateStatement(7, *late).endsWith(QStringLiteral(",i_xyr=-12,i_xf=18 where id=7")));
}

void TestCardSchedule::daysBeyondMonthEnd_data()
{
    // clang-format off
    addScheduleColumns();
    QTest::newRow("leap February") << QDate(2012, 2, 10) << 31 << 30 << 0.0 << 0.0 << "2012-2-29"
                                   << "2012-2-29"
                                   << "2012-3-31"
                                   << "2012-3-30" << 19 << 49 << 0.0;
    QTest::newRow("common February") << QDate(2013, 2, 10) << 30 << 29 << 0.0 << 0.0 << "2013-2-28"
                                     << "2013-2-28"
                                     << "2013-3-30"
                                     << "2013-3-29" << 18 << 47 << 0.0;
    QTest::newRow("next month is February") << QDate(2013, 1, 31) << 31 << 29 << 0.0 << 0.0 << "2013-1-31"
                                            << "2013-1-29"
                                            << "2013-2-28"
                                            << "2013-2-28" << -2 << 28 << 0.0;
    QTest::newRow("30-day month") << QDate(2013, 4, 10) << 31 << 31 << 0.0 << 0.0 << "2013-4-30"
                                  << "2013-4-30"
                                  << "2013-5-31"
                                  << "2013-5-31" << 20 << 51 << 0.0;
    QTest::newRow("last day of a 30-day month") << QDate(2013, 9, 30) << 31 << 31 << 0.0 << 0.0 << "2013-9-30"
                                                << "2013-9-30"
                                                << "2013-10-31"
                                                << "2013-10-31" << 0 << 31 << 0.0;
    QTest::newRow("December to January") << QDate(2013, 12, 31) << 31 << 15 << 0.0 << 0.0 << "2013-12-31"
                                         << "2013-12-15"
                                         << "2014-1-31"
                                         << "2014-1-15" << -16 << 15 << 0.0;
    QTest::newRow("December, repayment in February")
        << QDate(2013, 12, 31) << 30 << 29 << 0.0 << 0.0 << "2013-12-30"
        << "2013-12-29"
        << "2014-1-30"
        << "2014-2-28" << -2 << 59 << 0.0;
    // clang-format on
}

void TestCardSchedule::daysBeyondMonthEnd()
{
    checkSchedule();
}

// The repayment a card counts down to: this month's until it has passed, then next month's once
// that falls within the three-day list (two days away at most), across year ends and Februaries.
void TestCardSchedule::dueRepaymentAroundMonthEnds_data()
{
    // clang-format off
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("j");
    QTest::addColumn<int>("h");
    QTest::addColumn<QString>("due");
    QTest::addColumn<int>("daysLeft");
    QTest::newRow("year end, due tomorrow")          << QDate(2026, 12, 31) << 20 << 1  << "2027-1-1"   << 1;
    QTest::newRow("year end, due in two days")       << QDate(2026, 12, 30) << 20 << 1  << "2027-1-1"   << 2;
    QTest::newRow("3 days ahead: still overdue")     << QDate(2026, 12, 29) << 20 << 1  << "2026-12-1"  << -28;
    QTest::newRow("the day itself")                  << QDate(2027, 1, 1)   << 20 << 1  << "2027-1-1"   << 0;
    QTest::newRow("the day after: overdue")          << QDate(2027, 1, 2)   << 20 << 1  << "2027-1-1"   << -1;
    QTest::newRow("statement before repayment")      << QDate(2027, 1, 31)  << 1  << 2  << "2027-2-2"   << 2;
    QTest::newRow("into March, common year")         << QDate(2027, 2, 28)  << 20 << 1  << "2027-3-1"   << 1;
    QTest::newRow("into March, leap year")           << QDate(2028, 2, 28)  << 20 << 1  << "2028-3-1"   << 2;
    QTest::newRow("leap day")                        << QDate(2028, 2, 29)  << 5  << 1  << "2028-3-1"   << 1;
    QTest::newRow("day 30 falls on February 28")     << QDate(2027, 2, 14)  << 15 << 30 << "2027-2-28"  << 14;
    QTest::newRow("February's end is 28 days away")  << QDate(2027, 1, 31)  << 15 << 30 << "2027-1-30"  << -1;
    QTest::newRow("after February 28, March 30")     << QDate(2027, 3, 1)   << 15 << 30 << "2027-3-30"  << 29;
    QTest::newRow("day 31 in a 30-day month")        << QDate(2027, 4, 30)  << 20 << 31 << "2027-4-30"  << 0;
    QTest::newRow("mid-month, next one far")         << QDate(2027, 4, 12)  << 20 << 10 << "2027-4-10"  << -2;
    // clang-format on
}

void TestCardSchedule::dueRepaymentAroundMonthEnds()
{
    QFETCH(QDate, today);
    QFETCH(int, j);
    QFETCH(int, h);
    QFETCH(QString, due);
    const auto s = computeCardSchedule(today, j, h, 1, 100);
    QVERIFY(s);
    QCOMPARE(DateText::format(s->repaymentDate), due);
    QTEST(s->daysLeft, "daysLeft");
    QCOMPARE(DateText::format(dueRepaymentDate(today, h)), due);
    // This month's statement date stays what it was.
    QCOMPARE(s->statementDate, DateText::clampedDate(today.year(), today.month(), j));
}

// i_xf: the days to the repayment of the statement a purchase made today is billed in (today's
// statement takes today's purchases; a repayment day on or before the statement day falls in the
// month after it).
void TestCardSchedule::purchaseDaysFollowTheStatementBilled_data()
{
    // clang-format off
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("j");
    QTest::addColumn<int>("h");
    QTest::addColumn<QString>("repaid");
    QTest::addColumn<int>("xf");
    QTest::newRow("before both days, repayment first") << QDate(2027, 1, 1)   << 25 << 15 << "2027-2-15" << 45;
    QTest::newRow("between the days")                  << QDate(2027, 1, 20)  << 25 << 15 << "2027-2-15" << 26;
    QTest::newRow("on the statement day")              << QDate(2027, 1, 25)  << 25 << 15 << "2027-2-15" << 21;
    QTest::newRow("after the statement day")           << QDate(2027, 1, 26)  << 25 << 15 << "2027-3-15" << 48;
    QTest::newRow("before both days, statement first") << QDate(2027, 1, 1)   << 5  << 25 << "2027-1-25" << 24;
    QTest::newRow("after the statement, before due")   << QDate(2027, 1, 6)   << 5  << 25 << "2027-2-25" << 50;
    QTest::newRow("year end")                          << QDate(2026, 12, 31) << 20 << 1  << "2027-2-1"  << 32;
    QTest::newRow("statement day 31 on February 28")   << QDate(2027, 2, 28)  << 31 << 20 << "2027-3-20" << 20;
    QTest::newRow("statement day 30 on leap day")      << QDate(2028, 2, 29)  << 30 << 10 << "2028-3-10" << 10;
    QTest::newRow("billed on February 28")             << QDate(2027, 1, 30)  << 29 << 10 << "2027-3-10" << 39;
    QTest::newRow("February, repayment first")         << QDate(2027, 2, 5)   << 25 << 15 << "2027-3-15" << 38;
    QTest::newRow("same day for both")                 << QDate(2027, 1, 10)  << 10 << 10 << "2027-2-10" << 31;
    // clang-format on
}

void TestCardSchedule::purchaseDaysFollowTheStatementBilled()
{
    QFETCH(QDate, today);
    QFETCH(int, j);
    QFETCH(int, h);
    QFETCH(QString, repaid);
    const auto s = computeCardSchedule(today, j, h, 1, 100);
    QVERIFY(s);
    QTEST(s->purchaseDaysLeft, "xf");
    QCOMPARE(DateText::format(purchaseRepaymentDate(today, j, h)), repaid);
}

void TestCardSchedule::unusableDaysGiveNothing_data()
{
    // clang-format off
    QTest::addColumn<int>("j");
    QTest::addColumn<int>("h");
    QTest::newRow("missing statement day") << 0  << 8;
    QTest::newRow("missing repayment day") << 20 << 0;
    QTest::newRow("day 32")                << 32 << 8;
    QTest::newRow("negative day")          << 20 << -1;
    // clang-format on
}

void TestCardSchedule::unusableDaysGiveNothing()
{
    QFETCH(int, j);
    QFETCH(int, h);
    QVERIFY(!computeCardSchedule(QDate(2013, 9, 5), j, h, 1, 100));
    QVERIFY(computeCardSchedule(QDate(2013, 9, 5), 1, 31, 1, 100));
}

void TestCardSchedule::minimumRepaymentRoundsHalfToEven_data()
{
    // clang-format off
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("r");
    QTest::addColumn<double>("expected");
    QTest::newRow("2.5 gives 2")      << 25.0   << 1.0  << 2.0;
    QTest::newRow("3.5 gives 4")      << 35.0   << 1.0  << 4.0;
    QTest::newRow("4.4 gives 4")      << 44.0   << 1.0  << 4.0;
    QTest::newRow("fractional ratio") << 1000.0 << 0.55 << 55.0;
    QTest::newRow("no ratio")         << 5000.0 << 0.0  << 0.0;
    QTest::newRow("-2.5 gives -2")    << -25.0  << 1.0  << -2.0;
    // clang-format on
}

void TestCardSchedule::minimumRepaymentRoundsHalfToEven()
{
    QFETCH(double, x);
    QFETCH(double, r);
    QTEST(minimumRepayment(x, r), "expected");
}

// The pass binds the values of each card to the statement's shape; the row it stores must be
// the row the statement text itself stores.
void TestCardSchedule::boundStatementStoresWhatTheTextStores()
{
    TempHome home;
    DataModule data;
    data.database().open(home.databasePath());
    CardBuilder builder(data.database());
    const int byText = builder.statementDay(20).repaymentDay(8).insert();
    const int byBinding = builder.statementDay(20).repaymentDay(8).insert();
    const auto s = computeCardSchedule(QDate(2013, 9, 25), 20, 8, 1.5, 1234);
    QVERIFY(s);

    data.database().execute(cardUpdateStatement(byText, *s));
    QVERIFY(Refresh::CardRecompute(data.database(), QDate(2013, 9, 25)).store(byBinding, 20, 8, 1.5, 1234));

    auto row = [&](int id) {
        QStringList values;
        for (const QVariant& value :
             Stored::row(data.database(),
                         QStringLiteral("SELECT i_zdhkje,typeof(i_zdhkje),c_re_date,c_next_re_date,"
                                        "c_jd_date,c_next_jd_date,i_xyr,i_xf FROM txyk WHERE id=?"),
                         {id}))
            values << value.toString();
        return values;
    };
    QCOMPARE(row(byBinding), row(byText));
    QCOMPARE(row(byText).at(2), QStringLiteral("2013-09-08"));
}

// The pass and the best-card choice look schedules up in a table of one day; every lookup must
// be what computeCardSchedule() gives for that card, the first time and from the table.
void TestCardSchedule::tableGivesWhatEachCardComputes_data()
{
    // clang-format off
    QTest::addColumn<QDate>("today");
    QTest::newRow("early September") << QDate(2013, 9, 5);
    QTest::newRow("last of January") << QDate(2013, 1, 31);
    QTest::newRow("leap day")        << QDate(2012, 2, 29);
    QTest::newRow("end of the year") << QDate(2013, 12, 31);
    // clang-format on
}

void TestCardSchedule::tableGivesWhatEachCardComputes()
{
    QFETCH(QDate, today);
    const double inf = std::numeric_limits<double>::infinity();
    const QList<std::pair<double, double>> amounts = {{1.5, 1234}, {0, 0}, {10, 1e17}, {1, inf}, {-2, 99.5}};
    ScheduleTable table(today);
    for (int pass = 0; pass < 2; ++pass) {
        for (int statementDay = -1; statementDay <= 33; ++statementDay) {
            for (int repaymentDay = -1; repaymentDay <= 33; ++repaymentDay) {
                for (const auto& [ratio, used] : amounts) {
                    const auto expected = computeCardSchedule(today, statementDay, repaymentDay, ratio, used);
                    const auto found = table.find(statementDay, repaymentDay, ratio, used);
                    QCOMPARE(found.has_value(), expected.has_value());
                    if (!found)
                        continue;
                    QCOMPARE(found->schedule(), *expected);
                    const QDate dates[4] = {expected->repaymentDate, expected->nextRepaymentDate,
                                            expected->statementDate, expected->nextStatementDate};
                    for (int i = 0; i < 4; ++i)
                        QCOMPARE(found->dates->iso[i].toString(), dates[i].toString(Qt::ISODate));
                }
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestCardSchedule)
#include "tst_cardschedule.moc"
