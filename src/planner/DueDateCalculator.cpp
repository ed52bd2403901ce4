#include "planner/DueDateCalculator.h"

#include "planner/IntegerText.h"
#include "store/Error.h"

namespace DueDateCalculator {

QDate earliestDate()
{
    return QDate(1601, 1, 1);
}

QDate latestDate()
{
    return QDate(9999, 12, 31);
}

QDate repaymentDate(QDate withdrawal, const QString& daysText)
{
    const int days = IntegerText::parseOrThrow(daysText);
    const QDate result = withdrawal.addDays(days);
    if (!withdrawal.isValid() || !result.isValid() || result < earliestDate() || result > latestDate())
        throw Error(QStringLiteral("Failed to set calendar date or time"));
    return result;
}

} // namespace DueDateCalculator
