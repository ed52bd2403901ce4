#include "billing/CardSchedule.h"

#include <QtTest>

// Properties of the computed card dates over a century of days: always valid dates, in the
// right months, clamped to the month's end and never beyond it.
class TestDateProperties : public QObject
{
    Q_OBJECT
private slots:
    void scheduleHoldsForEveryDay();
};

namespace {

QDate firstOfNextMonth(QDate d)
{
    return QDate(d.year(), d.month(), 1).addMonths(1);
}

bool inMonth(QDate d, QDate monthStart)
{
    return d.year() == monthStart.year() && d.month() == monthStart.month();
}

// Checks one schedule; returns an empty text when every property holds.
QString check(QDate today, int j, int h, const CardSchedule& s)
{
    const QDate thisMonth(today.year(), today.month(), 1);
    const QDate nextMonth = firstOfNextMonth(thisMonth);
    const QDate monthAfter = firstOfNextMonth(nextMonth);
    const auto clampedIn = [](QDate month, int day) {
        return QDate(month.year(), month.month(), std::min(day, month.daysInMonth()));
    };
    if (s.statementDate != clampedIn(thisMonth, j))
        return QStringLiteral("this month's statement date");
    // This month's repayment, or next month's once this month's has passed and next month's is
    // at most kDueLookaheadDays away.
    const QDate thisRepayment = clampedIn(thisMonth, h);
    const QDate nextRepayment = clampedIn(nextMonth, h);
    const bool lookAhead = thisRepayment < today && today.daysTo(nextRepayment) <= kDueLookaheadDays;
    if (s.repaymentDate != (lookAhead ? nextRepayment : thisRepayment))
        return QStringLiteral("repayment counted down to");
    if (s.nextStatementDate != clampedIn(nextMonth, j))
        return QStringLiteral("next statement date");
    const bool laterMonth = inMonth(s.nextRepaymentDate, monthAfter);
    if (!(s.nextRepaymentDate == clampedIn(nextMonth, h) ||
          (laterMonth && s.nextRepaymentDate == clampedIn(monthAfter, h))))
        return QStringLiteral("next repayment date");
    if (s.nextStatementDate <= s.statementDate || s.nextRepaymentDate <= thisRepayment)
        return QStringLiteral("next dates do not follow this month's");
    if (s.daysLeft != today.daysTo(s.repaymentDate))
        return QStringLiteral("days left");
    // A purchase today is billed in the first statement from today on and repaid on the
    // repayment day that settles it: the same month when it comes after the statement day.
    const QDate billed = clampedIn(thisMonth, j) >= today ? clampedIn(thisMonth, j) : clampedIn(nextMonth, j);
    const QDate billedMonth(billed.year(), billed.month(), 1);
    const QDate repaid = h > j ? clampedIn(billedMonth, h) : clampedIn(firstOfNextMonth(billedMonth), h);
    if (s.purchaseDaysLeft != today.daysTo(repaid) || s.purchaseDaysLeft < 0)
        return QStringLiteral("purchase days");
    return {};
}

} // namespace

void TestDateProperties::scheduleHoldsForEveryDay()
{
    // Every day of 2000..2100 with the days that matter at month ends; every pair of days
    // for two whole years (a leap year among them).
    const int edgeDays[] = {1, 2, 15, 27, 28, 29, 30, 31};
    for (QDate today(2000, 1, 1); today <= QDate(2100, 12, 31); today = today.addDays(1)) {
        const bool allPairs = today.year() == 2012 || today.year() == 2013;
        for (int j = 1; j <= 31; ++j) {
            if (!allPairs && std::find(std::begin(edgeDays), std::end(edgeDays), j) == std::end(edgeDays))
                continue;
            for (int h = 1; h <= 31; ++h) {
                if (!allPairs && std::find(std::begin(edgeDays), std::end(edgeDays), h) == std::end(edgeDays))
                    continue;
                const auto schedule = computeCardSchedule(today, j, h, 1.0, 100.0);
                if (!schedule)
                    QFAIL(qPrintable(QStringLiteral("no schedule for %1 J=%2 H=%3")
                                         .arg(today.toString(Qt::ISODate))
                                         .arg(j)
                                         .arg(h)));
                const QString broken = check(today, j, h, *schedule);
                if (!broken.isEmpty())
                    QFAIL(qPrintable(QStringLiteral("%1 J=%2 H=%3: %4")
                                         .arg(today.toString(Qt::ISODate))
                                         .arg(j)
                                         .arg(h)
                                         .arg(broken)));
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestDateProperties)
#include "tst_dateproperties.moc"
