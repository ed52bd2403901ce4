#pragma once

#include "billing/CardFacts.h"

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

class Clock;
class Database;

// Today's best card: the one on which a purchase made today stays interest-free the longest.
struct BestCard
{
    int id = 0;
    QString name;
    QString numberLast4;
    int days = 0; // i_xf as computed for today
    bool operator==(const BestCard&) const = default;
};

// Largest interest-free days among the cards with usable statement and repayment days; ties go
// to the larger free limit (i_ed - i_yxf), then to the lower id. Nothing when no card qualifies.
std::optional<BestCard> bestCardToday(const QList<CardFacts>& cards, QDate today);
std::optional<BestCard> bestCardToday(Database& db, const Clock& clock); // throws Error

// "今日推荐刷卡：招行（免息50天）"; empty when there is no card.
QString bestCardLine(const std::optional<BestCard>& best);
