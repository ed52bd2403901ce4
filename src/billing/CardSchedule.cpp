#include "billing/CardSchedule.h"

#include "store/DateText.h"

#include <array>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

// The month after (year, month).
void advanceMonth(int& year, int& month)
{
    if (month < 12) {
        ++month;
    } else {
        ++year;
        month = 1;
    }
}

// The statement text around its eight values; a date value stands between '#' signs.
struct Piece
{
    const char16_t* text; // text before the value
    bool isDate;
};
constexpr std::array<Piece, 8> kUpdatePieces{{
    {u"UPDATE Txyk SET i_zdhkje = ", false},
    {u",c_re_date = ", true},
    {u",c_next_re_date = ", true},
    {u",c_jd_date=", true},
    {u",c_next_jd_date = ", true},
    {u",i_xyr=", false},
    {u",i_xf=", false},
    {u" where id=", false},
}};

QString joinPieces(const std::array<QString, 8>& values)
{
    QString out;
    out.reserve(200);
    for (size_t i = 0; i < kUpdatePieces.size(); ++i) {
        out += QStringView(kUpdatePieces[i].text);
        if (kUpdatePieces[i].isDate)
            out += u'#' + values[i] + u'#';
        else
            out += values[i];
    }
    return out;
}

QString wholeNumberText(double value)
{
    if (value == 0)
        value = 0; // no "-0"
    return QString::number(value, 'f', 0);
}

} // namespace

bool isUsableBillingDay(int day)
{
    return day >= 1 && day <= 31;
}

QDate dueRepaymentDate(QDate today, int repaymentDay)
{
    if (!today.isValid() || !isUsableBillingDay(repaymentDay))
        return {};
    const QDate thisMonth = DateText::clampedDate(today.year(), today.month(), repaymentDay);
    if (thisMonth >= today)
        return thisMonth;
    int year = today.year(), month = today.month();
    advanceMonth(year, month);
    const QDate nextMonth = DateText::clampedDate(year, month, repaymentDay);
    // Until then this month's passed repayment stays the one counted (overdue while unpaid).
    return today.daysTo(nextMonth) <= kDueLookaheadDays ? nextMonth : thisMonth;
}

QDate purchaseRepaymentDate(QDate today, int statementDay, int repaymentDay)
{
    if (!today.isValid() || !isUsableBillingDay(statementDay) || !isUsableBillingDay(repaymentDay))
        return {};
    int year = today.year(), month = today.month();
    if (DateText::clampedDate(year, month, statementDay) < today)
        advanceMonth(year, month); // this month's statement is out: next month's takes it
    // A repayment day on or before the statement day falls in the month after the statement.
    if (repaymentDay <= statementDay)
        advanceMonth(year, month);
    return DateText::clampedDate(year, month, repaymentDay);
}

double minimumRepayment(double amountUsed, double ratio)
{
    const double exact = amountUsed * ratio * 0.1;
    // nearbyint rounds in the current mode; make sure it is to-nearest (halves to even).
    const int previous = std::fegetround();
    if (previous != FE_TONEAREST)
        std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(exact);
    if (previous != FE_TONEAREST)
        std::fesetround(previous);
    return rounded == 0 ? 0.0 : rounded;
}

namespace {

// The dates and days of a schedule (minimum repayment 0), for usable days and a valid today.
CardSchedule scheduleDates(QDate today, int statementDay, int repaymentDay)
{
    CardSchedule s;
    int year = today.year();
    int month = today.month();
    const int day = today.day();

    // Days beyond the month's end (29-31) fall on its last day, in every month used here.
    s.statementDate = DateText::clampedDate(year, month, statementDay);

    advanceMonth(year, month);
    s.nextStatementDate = DateText::clampedDate(year, month, statementDay);

    // When the repayment day lies in the month after the statement and this month's statement
    // day has passed (the day itself not counted), the next repayment is two months on.
    if (statementDay > repaymentDay && s.statementDate.day() < day) {
        int y = year, m = month;
        advanceMonth(y, m);
        s.nextRepaymentDate = DateText::clampedDate(y, m, repaymentDay);
    } else {
        s.nextRepaymentDate = DateText::clampedDate(year, month, repaymentDay);
    }

    s.repaymentDate = dueRepaymentDate(today, repaymentDay);
    s.daysLeft = int(today.daysTo(s.repaymentDate));
    s.purchaseDaysLeft = int(today.daysTo(purchaseRepaymentDate(today, statementDay, repaymentDay)));
    return s;
}

// The minimum repayment of a card, or nothing when it is no usable figure.
std::optional<double> usableMinimum(double amountUsed, double ratio)
{
    const double minRepayment = minimumRepayment(amountUsed, ratio);
    if (!std::isfinite(minRepayment) || std::fabs(minRepayment) > 1e15)
        return std::nullopt;
    return minRepayment;
}

} // namespace

std::optional<CardSchedule> computeCardSchedule(QDate today, int statementDay, int repaymentDay, double ratio,
                                                double amountUsed)
{
    if (!today.isValid() || !isUsableBillingDay(statementDay) || !isUsableBillingDay(repaymentDay))
        return std::nullopt;
    const auto minRepayment = usableMinimum(amountUsed, ratio);
    if (!minRepayment)
        return std::nullopt;
    CardSchedule s = scheduleDates(today, statementDay, repaymentDay);
    s.minRepayment = *minRepayment;
    return s;
}

ScheduleTable::ScheduleTable(QDate today) : m_today(today) {}

ScheduleTable::~ScheduleTable() = default;

std::optional<ScheduleTable::Found> ScheduleTable::find(int statementDay, int repaymentDay, double ratio,
                                                        double amountUsed)
{
    if (!m_today.isValid() || !isUsableBillingDay(statementDay) || !isUsableBillingDay(repaymentDay))
        return std::nullopt;
    const auto minRepayment = usableMinimum(amountUsed, ratio);
    if (!minRepayment)
        return std::nullopt;
    std::unique_ptr<Dates>& dates = m_dates[size_t(statementDay - 1) * 31 + size_t(repaymentDay - 1)];
    if (!dates) {
        const CardSchedule s = scheduleDates(m_today, statementDay, repaymentDay);
        dates = std::make_unique<Dates>(Dates{s,
                                              {isoDate(s.repaymentDate), isoDate(s.nextRepaymentDate),
                                               isoDate(s.statementDate), isoDate(s.nextStatementDate)}});
    }
    return Found{dates.get(), *minRepayment};
}

CardSchedule ScheduleTable::Found::schedule() const
{
    CardSchedule s = dates->schedule;
    s.minRepayment = minRepayment;
    return s;
}

QString cardUpdateStatement(int id, const CardSchedule& s)
{
    return joinPieces({wholeNumberText(s.minRepayment), DateText::format(s.repaymentDate),
                       DateText::format(s.nextRepaymentDate), DateText::format(s.statementDate),
                       DateText::format(s.nextStatementDate), QString::number(s.daysLeft),
                       QString::number(s.purchaseDaysLeft), QString::number(id)});
}

QString cardUpdateTemplate()
{
    QString out;
    for (const Piece& piece : kUpdatePieces) {
        out += QStringView(piece.text);
        out += u'?';
    }
    return out;
}

IsoDate isoDate(QDate date)
{
    IsoDate out;
    int y = 0, m = 0, d = 0;
    date.getDate(&y, &m, &d);
    if (y < 1 || y > 9999) {
        const QByteArray text = date.toString(Qt::ISODate).toLatin1().left(int(sizeof out.text));
        std::memcpy(out.text, text.constData(), size_t(text.size()));
        out.size = int(text.size());
        return out;
    }
    char* c = out.text;
    c[0] = char('0' + y / 1000);
    c[1] = char('0' + y / 100 % 10);
    c[2] = char('0' + y / 10 % 10);
    c[3] = char('0' + y % 10);
    c[4] = '-';
    c[5] = char('0' + m / 10);
    c[6] = char('0' + m % 10);
    c[7] = '-';
    c[8] = char('0' + d / 10);
    c[9] = char('0' + d % 10);
    out.size = 10;
    return out;
}

QString clearCardScheduleStatement(int id)
{
    std::array<QString, 8> values;
    values.fill(QStringLiteral("Null"));
    values[7] = QString::number(id);
    QString out;
    for (size_t i = 0; i < kUpdatePieces.size(); ++i) {
        out += QStringView(kUpdatePieces[i].text);
        out += values[i];
    }
    return out;
}
