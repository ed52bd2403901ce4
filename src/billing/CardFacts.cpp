#include "billing/CardFacts.h"

#include "store/CardSecrets.h"
#include "store/Database.h"

#include <cmath>

int storedDay(const RawRow& row, int column)
{
    switch (row.type(column)) {
    case RawRow::Null:
        return 0;
    case RawRow::Integer: {
        const qint64 v = row.integer(column);
        return v < -1000000 || v > 1000000 ? 0 : int(v);
    }
    default:
        break;
    }
    bool ok = false;
    const double d =
        row.type(column) == RawRow::Real ? (ok = true, row.real(column)) : row.value(column).toDouble(&ok);
    if (!ok || d != std::floor(d) || d < -1e6 || d > 1e6)
        return 0;
    return int(d);
}

double storedNumber(const RawRow& row, int column)
{
    switch (row.type(column)) {
    case RawRow::Null:
        return 0.0;
    case RawRow::Integer:
        return double(row.integer(column));
    case RawRow::Real:
        return row.real(column);
    default:
        return row.value(column).toDouble();
    }
}

namespace {

double finiteNumber(const RawRow& row, int column)
{
    const double d = storedNumber(row, column);
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

const QString kCardFactsColumnList =
    QStringLiteral("id,c_name,c_last4,c_jzr,c_hkr,i_zdhkbl,i_yxf,i_ed,tf,i_hkm,i_hky,c_no");

CardFacts cardFactsOf(const RawRow& row, int first)
{
    CardFacts c;
    c.id = int(row.integer(first));
    c.name = QString::fromUtf8(row.utf8(first + 1));
    c.numberLast4 = QString::fromUtf8(row.utf8(first + 2)); // readable even while the number is sealed
    if (c.numberLast4.isEmpty()) // a card another tool wrote: from its number when readable
        c.numberLast4 = CardSecrets::lastFourOfStored(QString::fromUtf8(row.utf8(first + 11)));
    c.statementDay = storedDay(row, first + 3);
    c.repaymentDay = storedDay(row, first + 4);
    c.ratio = finiteNumber(row, first + 5);
    c.used = finiteNumber(row, first + 6);
    c.limit = finiteNumber(row, first + 7);
    c.repaidMark = flagValue(row, first + 8);
    c.markMonth = int(row.integer(first + 9));
    c.markYear = int(row.integer(first + 10));
    return c;
}

QList<CardFacts> readCardFacts(Database& db)
{
    QList<CardFacts> cards;
    db.scanRaw(
        QStringLiteral("SELECT ") + kCardFactsColumnList + QStringLiteral(" FROM txyk ORDER BY id"),
        [](const QStringList&) {}, [&](const RawRow& row) { cards.append(cardFactsOf(row)); });
    return cards;
}

bool markCovers(const CardFacts& card, QDate repayment)
{
    if (!card.repaidMark)
        return false;
    const bool earlierMonth = card.markYear < repayment.year() ||
                              (card.markYear == repayment.year() && card.markMonth < repayment.month());
    return !earlierMonth;
}
