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
    const int days = IntegerText::parseOrThrow(daysText, QStringLiteral("名息日"));
    const QDate result = withdrawal.addDays(days);
    if (!withdrawal.isValid() || !result.isValid() || result < earliestDate() || result > latestDate())
        throw Error(QStringLiteral("还款日超出可显示的日期范围（1601-1-1 到 9999-12-31），未作改动。"));
    return result;
}

} // namespace DueDateCalculator
