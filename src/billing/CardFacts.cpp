#include "billing/CardFacts.h"

#include "store/Database.h"

#include <cmath>

namespace {

// Empty or not a whole number reads as 0, a day no month has (as the refresh pass reads it).
int dayValue(const QVariant& v)
{
    bool ok = false;
    const double d = v.isNull() ? 0 : v.toDouble(&ok);
    if (!ok || d != std::floor(d) || std::fabs(d) > 1e6)
        return 0;
    return int(d);
}

double numberValue(const QVariant& v)
{
    const double d = v.isNull() ? 0 : v.toDouble();
    return std::isfinite(d) ? d : 0;
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
            c.statementDay = dayValue(row.value(3));
            c.repaymentDay = dayValue(row.value(4));
            c.ratio = numberValue(row.value(5));
            c.used = numberValue(row.value(6));
            c.limit = numberValue(row.value(7));
            c.repaidMark = row.value(8).toBool();
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
