#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <array>
#include <memory>
#include <optional>

// Next month's repayment takes the place of this month's passed one this many days ahead: the
// three-day list's window, so at a month's end a repayment early in the next month is listed,
// reminded and mailed like any other, while a missed one stays overdue as long as it can.
constexpr int kDueLookaheadDays = 2;

// The dates and figures the refresh pass stores for one card, computed from today, the
// card's statement day J, repayment day H, minimum-repayment ratio R and amount used X.
struct CardSchedule
{
    double minRepayment = 0;  // i_zdhkje: X * R * 0.1, rounded half to even
    QDate statementDate;      // c_jd_date: this month's statement date
    QDate repaymentDate;      // c_re_date: the repayment the card counts down to (dueRepaymentDate)
    QDate nextStatementDate;  // c_next_jd_date
    QDate nextRepaymentDate;  // c_next_re_date
    int daysLeft = 0;         // i_xyr: repaymentDate - today (negative once passed)
    int purchaseDaysLeft = 0; // i_xf: days to purchaseRepaymentDate()

    bool operator==(const CardSchedule&) const = default;
};

// A statement or repayment day the pass can work with: 1..31. Days beyond a month's end
// are taken as that month's last day.
bool isUsableBillingDay(int day);

// The repayment a card counts down to on `today`: this month's repayment day, or next month's
// once this month's has passed and next month's is at most kDueLookaheadDays away. Invalid for a
// day outside 1..31.
QDate dueRepaymentDate(QDate today, int repaymentDay);

// The repayment of the statement a purchase made on `today` is billed in: the first statement
// day from today on (today's statement takes today's purchases), repaid in the same month when
// the repayment day comes after the statement day, else in the month after.
QDate purchaseRepaymentDate(QDate today, int statementDay, int repaymentDay);

// The card's schedule relative to `today`; nothing when a day is missing (0) or outside 1..31
// or the amounts are not finite numbers. Pure: the card editor uses it for a freshly saved card.
std::optional<CardSchedule> computeCardSchedule(QDate today, int statementDay, int repaymentDay, double ratio,
                                                double amountUsed);

// X * R * 0.1 rounded to the nearest whole number, halves to the even neighbour.
double minimumRepayment(double amountUsed, double ratio);

// The statement that stores a schedule for card `id`, in the program's dialect:
// "UPDATE Txyk SET i_zdhkje = 33,c_re_date = #2013-9-8#,... where id=1".
QString cardUpdateStatement(int id, const CardSchedule& schedule);

// The same statement with a "?" in place of every value: minimum repayment, the four dates
// (repayment, next repayment, statement, next statement), days left, purchase days left, id.
// The pass prepares its translation once and binds the values of each card.
QString cardUpdateTemplate();

// A date as stored, ISO text ("2013-09-08"), made without allocating: the pass binds four a card.
struct IsoDate
{
    char text[16] = {};
    int size = 0;
    QByteArrayView utf8() const { return QByteArrayView(text, size); }
    QString toString() const { return QString::fromLatin1(text, size); }
};
IsoDate isoDate(QDate date);

// computeCardSchedule() for many cards of one day: the dates and days depend on the two days only,
// so each pair is worked out once (with its dates as stored) and kept.
class ScheduleTable
{
public:
    struct Dates
    {
        CardSchedule schedule; // minimum repayment 0
        IsoDate iso[4];        // repayment, next repayment, statement, next statement
    };
    struct Found
    {
        const Dates* dates;
        double minRepayment;
        CardSchedule schedule() const; // as computeCardSchedule() gives it
    };

    explicit ScheduleTable(QDate today);
    ~ScheduleTable();
    ScheduleTable(const ScheduleTable&) = delete;
    ScheduleTable& operator=(const ScheduleTable&) = delete;
    // Nothing exactly when computeCardSchedule(today, ...) gives nothing.
    std::optional<Found> find(int statementDay, int repaymentDay, double ratio, double amountUsed);

private:
    QDate m_today;
    std::array<std::unique_ptr<Dates>, 31 * 31> m_dates;
};

// Clears the stored schedule of a card the pass cannot compute, so stale dates do not make it
// count as due: "UPDATE Txyk SET i_zdhkje = Null,... where id=7".
QString clearCardScheduleStatement(int id);
