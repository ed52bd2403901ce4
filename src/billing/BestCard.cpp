#include "billing/BestCard.h"

#include "billing/CardSchedule.h"
#include "store/Clock.h"

std::optional<BestCard> bestCardToday(const QList<CardFacts>& cards, QDate today)
{
    std::optional<BestCard> best;
    double bestFree = 0;
    ScheduleTable schedules(today);
    for (const CardFacts& card : cards) {
        const auto schedule = schedules.find(card.statementDay, card.repaymentDay, card.ratio, card.used);
        if (!schedule)
            continue;
        const int days = schedule->dates->schedule.purchaseDaysLeft;
        const double free = card.limit - card.used;
        const bool better =
            !best || days > best->days ||
            (days == best->days && (free > bestFree || (free == bestFree && card.id < best->id)));
        if (better) {
            best = BestCard{card.id, card.name, card.numberLast4, days};
            bestFree = free;
        }
    }
    return best;
}

std::optional<BestCard> bestCardToday(Database& db, const Clock& clock)
{
    return bestCardToday(readCardFacts(db), clock.today());
}

QString bestCardLine(const std::optional<BestCard>& best)
{
    if (!best)
        return {};
    return QStringLiteral("今日推荐刷卡：") + best->name + QStringLiteral("（免息") +
           QString::number(best->days) + QStringLiteral("天）");
}
