#pragma once

#include "billing/CardFacts.h"

#include <QDate>
#include <QList>
#include <QString>

// What falls on each day of one month: every card's statement day and repayment day placed in
// that month (days beyond its end on its last day), the repayment with its state as of today.
// The month view shows it; the repayment dates agree with the calendar file's.
namespace MonthPlan {

enum class Kind { Statement, Repayment };

// A statement day has no state. A repayment is repaid when the card's mark covers it, overdue
// while it is the card's counted repayment, passed and not repaid, due soon from
// kDueLookaheadDays before it to the day itself.
enum class State { None, DueSoon, Overdue, Repaid };

struct Entry
{
    int cardId = 0;
    QString name;
    QString last4; // empty when the card has no number
    Kind kind = Kind::Repayment;
    State state = State::None;
};

struct Day
{
    QDate date;
    QList<Entry> entries; // repayments first, then statements, each in the order of the cards

    int count(Kind kind) const;
    int count(Kind kind, State state) const;
    // The day's colour: overdue before due soon; repaid only when every repayment of the day is.
    State shade() const;
};

// The state of the repayment on `repayment` of `card` as of `today`.
State repaymentState(const CardFacts& card, QDate repayment, QDate today);

// One Day for each day of the month of `month` (any date in it), in order. Cards without a
// schedule (a day outside 1..31, an amount that is no number) are left out, as in the calendar.
QList<Day> days(const QList<CardFacts>& cards, QDate month, QDate today);

// "12月15日：2张卡还款（1张已过期），1张卡账单日"; today's date carries "（今天）".
QString dayText(const Day& day, QDate today);
// A line of the day's card list: "招行 尾号6789：还款，3天内到期". Last four digits only.
QString entryText(const Entry& entry);
// "已过期", "3天内到期", "已还清"; empty for None.
QString stateText(State state);

} // namespace MonthPlan
