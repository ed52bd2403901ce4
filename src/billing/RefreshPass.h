#pragma once

#include "billing/CardFacts.h"
#include "billing/CardSchedule.h"
#include "billing/DueSoonCard.h"
#include "store/Statement.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>

class Clock;
class Database;
class DataModule;

// A card the pass could not compute (statement or repayment day missing or outside 1..31).
struct SkippedCard
{
    int id = 0;
    QString name;
    bool operator==(const SkippedCard&) const = default;
};

// What a refresh pass found; the main window, the reminder, the mail, the calendar and
// `--summary` take it from here rather than reading the cards again.
struct RefreshResult
{
    QDate date;
    // Unpaid cards due today, within 2, 3, 7, 10, 15 days, overdue, and within 3 days again
    // (the eight count labels of the card page, in this order).
    std::array<int, 8> counts{};
    QStringList labelTexts;     // "1天内需还:2张", ...
    QList<DueSoonCard> dueSoon; // unpaid cards due within two days, most urgent first
    QString heading;            // "3天内共需还：2张"
    QList<SkippedCard> skipped;
    QList<CardFacts> cards; // every card as the pass left it, by id
    int dueSoonCount() const { return int(dueSoon.size()); }
};

namespace Refresh {

extern const QString kDueSoonStatement;

// The counting statement behind label i (0..7), exactly as it is run.
QString countStatement(int i);
// "UPDATE Txyk SET tf=False,i_hkm = 0,i_hky = 0 where ..." for today: clears the repaid mark
// of every card marked in an earlier year, or in an earlier month of this year.
QString monthlyResetStatement(QDate today);
// "3天内共需还：2张"
QString headingText(int dueSoonCount);
// Text of summary label i (0..7) before a pass has counted: "1天内需还:" ... "3天内共需还:".
QString countLabelText(int i);
// Text of summary label i for its count: "1天内需还:2张" ... "3天内共需还款:2张".
QString countLabelText(int i, int count);
// Computes one card's schedule from its statement day, repayment day, ratio and amount used
// and stores it with the statement cardUpdateTemplate() gives, prepared once for all the cards
// it writes; a card whose days cannot be used gets its schedule cleared instead. Throws Error.
class CardRecompute
{
public:
    // A card as read by cardSelect(): the fields its schedule comes from, whether it has one (not
    // skipped), and whether what it has stored is what store() would leave.
    struct Card
    {
        qint64 id = 0;
        int statementDay = 0;
        int repaymentDay = 0;
        double ratio = 0;
        double amountUsed = 0;
        bool computable = false;
        bool current = false;
    };

    CardRecompute(Database& db, QDate today);
    ~CardRecompute();
    // id, the four fields, then the seven stored ones, then the card facts' columns
    // (kCardFactsColumnList) from kFactsColumn on, of every card (a WHERE may follow).
    static QString cardSelect();
    static constexpr int kFactsColumn = 12;
    Card read(const RawRow& row);
    // Stores the card's schedule unless it is current. False when the card was skipped.
    bool store(const Card& card);
    // Stores the schedule of card `id` computed from these fields, or clears it when the days
    // cannot be used (false).
    bool store(qint64 id, int statementDay, int repaymentDay, double ratio, double amountUsed);

private:
    Database& m_db;
    ScheduleTable m_table;
    Statement m_update;
};

// Clears the repaid marks of earlier months: monthlyResetStatement(today), run when it changes
// a card; and a mark set for a month before that of the card's stored c_re_date (a repayment
// early next month, counted from the month's end on, is not paid by this month's mark).
// Returns the ids of the cards whose marks were written.
QList<qint64> resetRepaidMarks(Database& db, QDate today);

// Recomputes and stores one card from what is stored of it, as the refresh pass does: the card
// editor runs it inside the save's transaction; a mark that no longer covers the card's
// repayment is cleared as the pass clears it. With `keepMinRepayment` the stored minimum
// repayment (one the user just typed) stays as it is. False when the card was skipped.
bool recomputeCard(Database& db, QDate today, qint64 id, bool keepMinRepayment = false);

// The eight due counts as the stored cards give them now (countStatement(0..7)).
std::array<int, 8> countDueCards(Database& db);

// Recomputes and stores the schedule of every card of txyk (whatever the card list shows) in
// one transaction; a failure rolls every card back and throws. Returns the cards skipped.
QList<SkippedCard> recomputeAllCards(Database& db, QDate today);

} // namespace Refresh

// The refresh pass: recompute every card, reset last month's repaid marks, fill in missing
// readable last four digits, count the due cards and read the due-soon cards and the card facts. The card
// list keeps its statement and, when open, is reopened to show the new values (a closed one stays closed).
// The writes are all or nothing: on an error every card is left as it was, the bound controls are resumed and
// the error is thrown.
class RefreshPass
{
public:
    RefreshPass(DataModule& data, const Clock& clock) : m_data(data), m_clock(clock) {}
    // Throws, touching nothing, while the card list holds a card being edited: the editor saves
    // (and checks) it first; its buffer is never written blindly.
    RefreshResult run();

private:
    DataModule& m_data;
    const Clock& m_clock;
};

// Whether a refresh raises the reminder window by itself.
struct ReminderDecision
{
    bool show = false;      // show the reminder window now
    bool markShown = false; // set ReminderShown
    bool operator==(const ReminderDecision&) const = default;
};
// Only when the due-soon list has rows and the decision was not yet taken; then the window
// comes up unless password protection is on without a successful login at this show.
ReminderDecision decideReminder(bool reminderShown, bool loggedIn, bool pwdProtect, int dueSoonCount);
