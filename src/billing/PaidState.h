#pragma once

#include <QDate>
#include <QString>

class Clock;
class Database;
class DataModule;

// The card grid's context menu: mark the current card repaid or not repaid for this month,
// and list every card. Errors throw Error; the menu's handler shows them.
namespace PaidState {

// "UPDATE Txyk SET tf=True,i_hkm = 9,i_hky = 2013 where id=12": the mark names the month of the
// repayment it covers (repaymentCovered()).
QString markRepaidStatement(int id, QDate covered);
// The repayment a mark set today covers: the one card `id` counts down to (dueRepaymentDate), so
// that a repayment early next month marked at this month's end stays covered after the monthly
// reset; today when the card has no usable repayment day.
QDate repaymentCovered(Database& db, int id, QDate today);
// "UPDATE Txyk SET tf=False,i_hkm = 0 where id=12" (the year stays for the monthly reset)
QString markUnpaidStatement(int id);

// "当月已还清": marks the current card of the card list repaid this month; the card list's rows
// are refreshed in place.
void markCurrentRepaid(DataModule& data, const Clock& clock);
// The reminder's "还清": the same for card `id`.
void markRepaid(DataModule& data, const Clock& clock, int id);
// "当月未还清": the same for not repaid.
void markCurrentUnpaid(DataModule& data);
// "显示所有": the card list shows every card ordered by statement day.
void showAllCards(DataModule& data);

} // namespace PaidState
