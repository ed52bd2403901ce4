#include "billing/MonthPlan.h"
#include "billing/RepaymentCalendar.h"
#include "support/SampleFacts.h"

#include <QtTest>

namespace {

CardFacts card(int id, int statementDay, int repaymentDay, QDate markedFor = {})
{
    return sampleFacts(id, statementDay, repaymentDay, markedFor, 1000);
}

// Where each card's entries of `kind` fall: "id@day".
QStringList placed(const QList<MonthPlan::Day>& days, MonthPlan::Kind kind)
{
    QStringList out;
    for (const MonthPlan::Day& day : days)
        for (const MonthPlan::Entry& e : day.entries)
            if (e.kind == kind)
                out << QStringLiteral("%1@%2").arg(e.cardId).arg(day.date.day());
    return out;
}

} // namespace

Q_DECLARE_METATYPE(MonthPlan::State)
Q_DECLARE_METATYPE(QList<CardFacts>)

// What the month view shows on each day: statement and repayment days placed in any month,
// the repayment's state as of today, and the texts read out for a day.
class TestMonthPlan : public QObject
{
    Q_OBJECT
private slots:
    void daysBeyondTheMonthEnd_data();
    void daysBeyondTheMonthEnd();
    void repaymentStates_data();
    void repaymentStates();
    void agreesWithTheCalendarFile_data();
    void agreesWithTheCalendarFile();
    void cardsWithoutScheduleLeftOut();
    void dayTexts_data();
    void dayTexts();
};

void TestMonthPlan::daysBeyondTheMonthEnd_data()
{
    QTest::addColumn<QDate>("month");
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<QStringList>("repayments");
    // Cards 1..4: statement days 28..31, repayment days 31..28 (the repayment the month after).
    QTest::newRow("February 2027 (28 days)")
        << QDate(2027, 2, 1) << QStringList{"1@28", "2@28", "3@28", "4@28"}
        << QStringList{"1@28", "2@28", "3@28", "4@28"};
    QTest::newRow("February 2028 (leap year)")
        << QDate(2028, 2, 14) << QStringList{"1@28", "2@29", "3@29", "4@29"}
        << QStringList{"1@29", "2@29", "3@29", "4@28"};
    QTest::newRow("April (30 days)") << QDate(2027, 4, 30) << QStringList{"1@28", "2@29", "3@30", "4@30"}
                                     << QStringList{"1@30", "2@30", "3@29", "4@28"};
    QTest::newRow("March (31 days)") << QDate(2027, 3, 1) << QStringList{"1@28", "2@29", "3@30", "4@31"}
                                     << QStringList{"1@31", "2@30", "3@29", "4@28"};
}

void TestMonthPlan::daysBeyondTheMonthEnd()
{
    QFETCH(QDate, month);
    QFETCH(QStringList, statements);
    QFETCH(QStringList, repayments);
    const QList<CardFacts> cards = {card(1, 28, 31), card(2, 29, 30), card(3, 30, 29), card(4, 31, 28)};
    const QList<MonthPlan::Day> days = MonthPlan::days(cards, month, QDate(2026, 12, 11));
    QCOMPARE(days.size(), month.daysInMonth());
    QCOMPARE(days.first().date, QDate(month.year(), month.month(), 1));
    QCOMPARE(days.last().date, QDate(month.year(), month.month(), month.daysInMonth()));
    QStringList gotStatements = placed(days, MonthPlan::Kind::Statement);
    QStringList gotRepayments = placed(days, MonthPlan::Kind::Repayment);
    gotStatements.sort();
    gotRepayments.sort();
    QCOMPARE(gotStatements, statements);
    QCOMPARE(gotRepayments, repayments);
}

void TestMonthPlan::repaymentStates_data()
{
    using S = MonthPlan::State;
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QDate>("month");
    QTest::addColumn<int>("repaymentDay");
    QTest::addColumn<QDate>("markedFor"); // the repayment month the mark names; none: unmarked
    QTest::addColumn<MonthPlan::State>("state");
    const QDate today(2026, 12, 11), dec(2026, 12, 1), nov(2026, 11, 1), jan(2027, 1, 1);
    // clang-format off
    QTest::newRow("due today")                       << today << dec << 11 << QDate() << S::DueSoon;
    QTest::newRow("due in two days")                 << today << dec << 13 << QDate() << S::DueSoon;
    QTest::newRow("three days away: not yet")        << today << dec << 14 << QDate() << S::None;
    QTest::newRow("passed, unpaid: overdue")         << today << dec << 5  << QDate() << S::Overdue;
    QTest::newRow("passed, marked: repaid")          << today << dec << 5  << dec     << S::Repaid;
    QTest::newRow("mark of an earlier month")        << today << dec << 5  << nov     << S::Overdue;
    QTest::newRow("due today, marked")               << today << dec << 11 << dec     << S::Repaid;
    QTest::newRow("next month, this month's mark")   << today << jan << 5  << dec     << S::None;
    QTest::newRow("last month, unmarked: unknown")   << today << nov << 5  << QDate() << S::None;
    QTest::newRow("last month, this month's mark")   << today << nov << 5  << dec     << S::Repaid;
    // At the month's end the 1st of the next month takes the place of this month's passed one.
    QTest::newRow("Dec 30: Jan 1 due soon")          << QDate(2026, 12, 30) << jan << 1 << QDate() << S::DueSoon;
    QTest::newRow("Dec 30: Dec 1 no longer overdue") << QDate(2026, 12, 30) << dec << 1 << QDate() << S::None;
    QTest::newRow("Dec 30: Jan 1 marked")            << QDate(2026, 12, 30) << jan << 1 << jan     << S::Repaid;
    QTest::newRow("Dec 28: Dec 1 still overdue")     << QDate(2026, 12, 28) << dec << 1 << QDate() << S::Overdue;
    QTest::newRow("Feb 28 2027: the 31st due today") << QDate(2027, 2, 28) << QDate(2027, 2, 1) << 31 << QDate() << S::DueSoon;
    QTest::newRow("Mar 1 2027: Mar 31 counts, Feb 28 not overdue")  << QDate(2027, 3, 1) << QDate(2027, 2, 1) << 31 << QDate() << S::None;
    // clang-format on
}

void TestMonthPlan::repaymentStates()
{
    QFETCH(QDate, today);
    QFETCH(QDate, month);
    QFETCH(int, repaymentDay);
    QFETCH(QDate, markedFor);
    QFETCH(MonthPlan::State, state);
    const QList<MonthPlan::Day> days = MonthPlan::days({card(7, 20, repaymentDay, markedFor)}, month, today);
    QList<MonthPlan::Entry> repayments;
    for (const MonthPlan::Day& day : days)
        for (const MonthPlan::Entry& e : day.entries)
            if (e.kind == MonthPlan::Kind::Repayment)
                repayments << e;
    QCOMPARE(repayments.size(), 1);
    QCOMPARE(repayments.first().state, state);
}

void TestMonthPlan::agreesWithTheCalendarFile_data()
{
    QTest::addColumn<QDate>("today");
    for (const QDate today : {QDate(2026, 12, 11), QDate(2026, 12, 30), QDate(2026, 12, 31),
                              QDate(2027, 1, 30), QDate(2027, 2, 27), QDate(2028, 2, 29), QDate(2027, 4, 30)})
        QTest::newRow(qPrintable(today.toString(Qt::ISODate))) << today;
}

// Every repayment the calendar file lists is in the month view, not repaid, and every repayment
// of this month and the next from today on that the view does not show as repaid is in the file.
void TestMonthPlan::agreesWithTheCalendarFile()
{
    QFETCH(QDate, today);
    QList<CardFacts> cards;
    int id = 0;
    for (const int repaymentDay : {1, 2, 5, 15, 28, 29, 30, 31}) {
        cards << card(++id, 20, repaymentDay);
        cards << card(++id, 10, repaymentDay, today);               // marked this month
        cards << card(++id, 25, repaymentDay, today.addMonths(1));  // marked at a month's end for the next
        cards << card(++id, 25, repaymentDay, today.addMonths(-1)); // a mark the reset has not cleared
    }
    QStringList fromFile;
    for (const RepaymentCalendar::Event& e : RepaymentCalendar::events(cards, today))
        fromFile << QStringLiteral("%1@%2").arg(e.cardId).arg(e.date.toString(Qt::ISODate));
    QStringList fromView;
    for (const QDate month : {today, today.addMonths(1)})
        for (const MonthPlan::Day& day : MonthPlan::days(cards, month, today))
            for (const MonthPlan::Entry& e : day.entries)
                if (e.kind == MonthPlan::Kind::Repayment && day.date >= today &&
                    e.state != MonthPlan::State::Repaid)
                    fromView << QStringLiteral("%1@%2").arg(e.cardId).arg(day.date.toString(Qt::ISODate));
    fromFile.sort();
    fromView.sort();
    QCOMPARE(fromView, fromFile);
    QVERIFY(!fromFile.isEmpty());
}

void TestMonthPlan::cardsWithoutScheduleLeftOut()
{
    CardFacts noRatio = card(5, 10, 20);
    noRatio.ratio = qQNaN();
    const QList<CardFacts> cards = {card(1, 0, 20), card(2, 10, 32), card(3, -1, 5), card(4, 10, 20),
                                    noRatio};
    QStringList got;
    for (const MonthPlan::Day& day : MonthPlan::days(cards, QDate(2026, 12, 1), QDate(2026, 12, 11)))
        for (const MonthPlan::Entry& e : day.entries)
            got << QString::number(e.cardId);
    QCOMPARE(got, QStringList({"4", "4"}));
}

void TestMonthPlan::dayTexts_data()
{
    QTest::addColumn<QList<CardFacts>>("cards");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QString>("dayText");
    QTest::addColumn<QStringList>("entryTexts");
    const QDate dec15(2026, 12, 15);
    CardFacts nameless = card(9, 1, 15);
    nameless.name.clear();
    nameless.numberLast4.clear();
    QTest::newRow("nothing") << QList<CardFacts>{card(1, 3, 4)} << dec15
                             << QString("12月15日：没有还款或账单日") << QStringList{};
    QTest::newRow("two repayments, one statement")
        << QList<CardFacts>{card(1, 1, 15), card(2, 15, 5), card(3, 2, 15)} << dec15
        << QString("12月15日：2张卡还款，1张卡账单日")
        << QStringList{"卡1 尾号1001：还款", "卡3 尾号1003：还款", "卡2 尾号1002：账单日"};
    QTest::newRow("states and today")
        << QList<CardFacts>{card(1, 1, 11), card(2, 1, 11, QDate(2026, 12, 1)), card(3, 11, 20)}
        << QDate(2026, 12, 11)
        << QString("12月11日（今天）：2张卡还款（1张3天内到期，1张已还清），1张卡账单日")
        << QStringList{"卡1 尾号1001：还款，3天内到期", "卡2 尾号1002：还款，已还清", "卡3 尾号1003：账单日"};
    QTest::newRow("last month, no name, no number")
        << QList<CardFacts>{nameless} << dec15.addMonths(-1) << QString("11月15日：1张卡还款")
        << QStringList{"（无卡名） 尾号----：还款"};
    QTest::newRow("overdue") << QList<CardFacts>{card(1, 1, 5)} << QDate(2026, 12, 5)
                             << QString("12月5日：1张卡还款（1张已过期）")
                             << QStringList{"卡1 尾号1001：还款，已过期"};
}

void TestMonthPlan::dayTexts()
{
    QFETCH(QList<CardFacts>, cards);
    QFETCH(QDate, day);
    QFETCH(QString, dayText);
    QFETCH(QStringList, entryTexts);
    const QDate today(2026, 12, 11);
    const MonthPlan::Day found = MonthPlan::days(cards, day, today).at(day.day() - 1);
    QCOMPARE(found.date, day);
    QCOMPARE(MonthPlan::dayText(found, today), dayText);
    QStringList got;
    for (const MonthPlan::Entry& e : found.entries)
        got << MonthPlan::entryText(e);
    QCOMPARE(got, entryTexts);
}

QTEST_GUILESS_MAIN(TestMonthPlan)
#include "tst_monthplan.moc"
