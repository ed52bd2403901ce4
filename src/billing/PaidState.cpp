#include "billing/PaidState.h"

#include "billing/CardFacts.h"
#include "billing/CardSchedule.h"
#include "billing/ControlsSuspended.h"
#include "store/Clock.h"
#include "store/DataModule.h"
#include "store/Database.h"
#include "store/Statement.h"

namespace PaidState {

QString markRepaidStatement(int id, QDate covered)
{
    return QStringLiteral("UPDATE Txyk SET tf=True,i_hkm = ") + QString::number(covered.month()) +
           QStringLiteral(",i_hky = ") + QString::number(covered.year()) + QStringLiteral(" where id=") +
           QString::number(id);
}

QDate repaymentCovered(Database& db, int id, QDate today)
{
    Statement q(db, QStringLiteral("SELECT c_hkr FROM txyk WHERE id=?"));
    q.bind(0, qint64(id));
    const QDate due = q.step() ? dueRepaymentDate(today, storedDay(q, 0)) : QDate();
    return due.isValid() ? due : today;
}

QString markUnpaidStatement(int id)
{
    return QStringLiteral("UPDATE Txyk SET tf=False,i_hkm = 0 where id=") + QString::number(id);
}

namespace {

// A card being edited is saved first, so the command sees its id and its values.
int currentCardId(Query& cards)
{
    if (cards.state() == Query::State::Edit || cards.state() == Query::State::Insert)
        cards.post();
    return cards.intValue(QStringLiteral("id"), 0);
}

// Runs the statement, then re-reads the card list's rows in place (when it is open): rows, sort
// and current row stay.
void runAndRefresh(DataModule& data, const QString& statement)
{
    data.database().execute(statement);
    if (data.cards().isOpen())
        data.cards().refresh();
}

} // namespace

void markCurrentRepaid(DataModule& data, const Clock& clock)
{
    const int id = currentCardId(data.cards());
    runAndRefresh(data, markRepaidStatement(id, repaymentCovered(data.database(), id, clock.today())));
}

void markRepaid(DataModule& data, const Clock& clock, int id)
{
    runAndRefresh(data, markRepaidStatement(id, repaymentCovered(data.database(), id, clock.today())));
}

void markCurrentUnpaid(DataModule& data)
{
    const int id = currentCardId(data.cards());
    runAndRefresh(data, markUnpaidStatement(id));
}

void showAllCards(DataModule& data)
{
    Query& cards = data.cards();
    ControlsSuspended suspended(cards);
    cards.setSql(DataModule::kAllCardsStatement);
    cards.open();
}

} // namespace PaidState
