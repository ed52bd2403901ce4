#include "billing/CardFacts.h"

#include "store/Database.h"

#include <cmath>

namespace {

// Empty or not a whole number reads as 0, a day no month has (as the refresh pass reads it).
int dayValue(const RawRow& row, int column)
{
    double d = 0;
    switch (row.type(column)) {
    case RawRow::Null:
        return 0;
    case RawRow::Integer:
        d = double(row.integer(column));
        break;
    case RawRow::Real:
        d = row.real(column);
        break;
    default: {
        bool ok = false;
        d = row.value(column).toDouble(&ok);
        if (!ok)
            return 0;
    }
    }
    if (d != std::floor(d) || std::fabs(d) > 1e6)
        return 0;
    return int(d);
}

double numberValue(const RawRow& row, int column)
{
    double d = 0;
    switch (row.type(column)) {
    case RawRow::Null:
        return 0;
    case RawRow::Integer:
        d = double(row.integer(column));
        break;
    case RawRow::Real:
        d = row.real(column);
        break;
    default:
        d = row.value(column).toDouble();
    }
    return std::isfinite(d) ? d : 0;
}

bool flagValue(const RawRow& row, int column)
{
    switch (row.type(column)) {
    case RawRow::Null:
        return false;
    case RawRow::Integer:
        return row.integer(column) != 0;
    default:
        return row.value(column).toBool();
    }
}

} // namespace

const QString kCardFactsSelect = QStringLiteral(
    "SELECT id,c_name,c_last4,c_jzr,c_hkr,i_zdhkbl,i_yxf,i_ed,tf,i_hkm,i_hky FROM txyk ORDER BY id");

QList<CardFacts> readCardFacts(Database& db)
{
    QList<CardFacts> cards;
    db.scanRaw(
        kCardFactsSelect, [](const QStringList&) {},
        [&](const RawRow& row) {
            CardFacts c;
            c.id = int(row.integer(0));
            c.name = QString::fromUtf8(row.utf8(1));
            c.numberLast4 = QString::fromUtf8(row.utf8(2)); // readable even while the number is sealed
            c.statementDay = dayValue(row, 3);
            c.repaymentDay = dayValue(row, 4);
            c.ratio = numberValue(row, 5);
            c.used = numberValue(row, 6);
            c.limit = numberValue(row, 7);
            c.repaidMark = flagValue(row, 8);
            c.markMonth = int(row.integer(9));
            c.markYear = int(row.integer(10));
            cards.append(c);
        });
    return cards;
}

bool repaidThisMonth(const CardFacts& card, QDate today)
{
    if (!card.repaidMark)
        return false;
    const bool earlierMonth =
        card.markYear < today.year() || (card.markYear == today.year() && card.markMonth < today.month());
    return !earlierMonth;
}
