#pragma once

#include <QDate>
#include <QList>
#include <QString>

class Database;

// What the calendar, the best-card choice and other read-only summaries need of a card. The
// card number is read only to keep its last four digits.
struct CardFacts
{
    int id = 0;
    QString name;
    QString numberLast4;  // empty when the card has no number
    int statementDay = 0; // c_jzr; 0 when missing or not a whole number
    int repaymentDay = 0; // c_hkr
    double ratio = 0;     // i_zdhkbl
    double used = 0;      // i_yxf
    double limit = 0;     // i_ed
    bool repaidMark = false;
    int markMonth = 0, markYear = 0; // i_hkm, i_hky
};

// Every card of txyk, by id. Throws Error.
QList<CardFacts> readCardFacts(Database& db);

// The last four digits of a card number as stored (blanks and dashes ignored).
QString cardNumberLast4(const QString& number);

// Whether the card counts as repaid in the month of `today`: its mark is one the monthly reset
// keeps (set this month, or later), so a stale mark reads as unpaid even before a refresh.
bool repaidThisMonth(const CardFacts& card, QDate today);
