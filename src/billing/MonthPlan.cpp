#include "billing/MonthPlan.h"

#include "billing/CardSchedule.h"
#include "store/DateText.h"

#include <QStringList>
#include <algorithm>

namespace MonthPlan {

int Day::count(Kind kind) const
{
    return int(
        std::count_if(entries.cbegin(), entries.cend(), [kind](const Entry& e) { return e.kind == kind; }));
}

int Day::count(Kind kind, State state) const
{
    return int(std::count_if(entries.cbegin(), entries.cend(),
                             [kind, state](const Entry& e) { return e.kind == kind && e.state == state; }));
}

State Day::shade() const
{
    const int repayments = count(Kind::Repayment);
    if (count(Kind::Repayment, State::Overdue) > 0)
        return State::Overdue;
    if (count(Kind::Repayment, State::DueSoon) > 0)
        return State::DueSoon;
    if (repayments > 0 && count(Kind::Repayment, State::Repaid) == repayments)
        return State::Repaid;
    return State::None;
}

State repaymentState(const CardFacts& card, QDate repayment, QDate today)
{
    if (markCovers(card, repayment))
        return State::Repaid;
    if (repayment >= today)
        return today.daysTo(repayment) <= kDueLookaheadDays ? State::DueSoon : State::None;
    // A passed repayment is overdue only while the card still counts down to it; once the next
    // one has taken its place (as the refresh pass sees it) its fate is no longer known.
    return dueRepaymentDate(today, card.repaymentDay) == repayment ? State::Overdue : State::None;
}

QList<Day> days(const QList<CardFacts>& cards, QDate month, QDate today)
{
    QList<Day> out;
    if (!month.isValid())
        return out;
    const int year = month.year(), monthNumber = month.month();
    const QDate first(year, monthNumber, 1);
    out.resize(first.daysInMonth());
    for (int i = 0; i < out.size(); ++i)
        out[i].date = first.addDays(i);
    QList<QList<Entry>> statements(out.size());
    for (const CardFacts& card : cards) {
        if (!computeCardSchedule(today, card.statementDay, card.repaymentDay, card.ratio, card.used))
            continue;
        Entry entry{card.id, card.name, card.numberLast4, Kind::Repayment, State::None};
        const QDate repayment = DateText::clampedDate(year, monthNumber, card.repaymentDay);
        entry.state = repaymentState(card, repayment, today);
        out[repayment.day() - 1].entries.append(entry);
        entry.kind = Kind::Statement;
        entry.state = State::None;
        statements[DateText::clampedDate(year, monthNumber, card.statementDay).day() - 1].append(entry);
    }
    for (int i = 0; i < out.size(); ++i)
        out[i].entries.append(statements.at(i));
    return out;
}

QString stateText(State state)
{
    switch (state) {
    case State::None:
        return {};
    case State::DueSoon:
        return QStringLiteral("%1天内到期").arg(kDueLookaheadDays + 1);
    case State::Overdue:
        return QStringLiteral("已过期");
    case State::Repaid:
        return QStringLiteral("已还清");
    }
    return {};
}

QString dayText(const Day& day, QDate today)
{
    QString text = QStringLiteral("%1月%2日").arg(day.date.month()).arg(day.date.day());
    if (day.date == today)
        text += QStringLiteral("（今天）");
    text += u'：';
    QStringList parts;
    if (const int repayments = day.count(Kind::Repayment)) {
        QString part = QStringLiteral("%1张卡还款").arg(repayments);
        QStringList states;
        for (const State state : {State::Overdue, State::DueSoon, State::Repaid})
            if (const int n = day.count(Kind::Repayment, state))
                states << QStringLiteral("%1张%2").arg(n).arg(stateText(state));
        if (!states.isEmpty())
            part += u'（' + states.join(u'，') + u'）';
        parts << part;
    }
    if (const int statements = day.count(Kind::Statement))
        parts << QStringLiteral("%1张卡账单日").arg(statements);
    return text + (parts.isEmpty() ? QStringLiteral("没有还款或账单日") : parts.join(u'，'));
}

QString entryText(const Entry& entry)
{
    QString text = entry.name.isEmpty() ? QStringLiteral("（无卡名）") : entry.name;
    text += QStringLiteral(" 尾号") + (entry.last4.isEmpty() ? QStringLiteral("----") : entry.last4);
    text += entry.kind == Kind::Repayment ? QStringLiteral("：还款") : QStringLiteral("：账单日");
    if (entry.state != State::None)
        text += u'，' + stateText(entry.state);
    return text;
}

} // namespace MonthPlan
