#include "billing/DueSoonCard.h"

#include "billing/CardFacts.h"
#include "billing/RefreshPass.h"
#include "store/CardSecrets.h"
#include "store/DateText.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"

namespace {

std::optional<double> amountAt(const RawRow& row, int column)
{
    if (row.isNull(column))
        return std::nullopt;
    return storedNumber(row, column);
}

} // namespace

QList<DueSoonCard> readDueSoonCards(Database& db)
{
    // Columns of kDueSoonStatement: id,c_re_date,c_name,c_no,c_last4,i_xyr,tf,i_zdhkje,i_xf,i_yxf
    static const QString sql = SqlDialect::translate(Refresh::kDueSoonStatement);
    QList<DueSoonCard> cards;
    Statement q(db, sql);
    while (q.step()) {
        DueSoonCard card;
        card.id = int(q.integer(0));
        card.repaymentDate = DateText::parse(q.text(1)).value_or(QDate());
        card.name = q.text(2);
        // A card another tool wrote may have no c_last4 yet: the number's own, when it is in clear.
        card.numberLast4 = q.text(4);
        if (card.numberLast4.isEmpty())
            card.numberLast4 = CardSecrets::lastFourOfStored(q.text(3));
        card.daysLeft = int(q.integer(5));
        card.minRepayment = amountAt(q, 7);
        card.used = amountAt(q, 9);
        cards.append(card);
    }
    return cards;
}

QString amountText(const std::optional<double>& amount)
{
    return amount ? QString::number(*amount, 'g', 15) : QString();
}
