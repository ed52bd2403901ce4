#pragma once

#include <QDate>
#include <QList>
#include <QString>

class Database;
class RawRow;

// What the calendar, the best-card choice and other read-only summaries need of a card. Of the
// card number only its readable last four digits (c_last4, or taken from a number stored in clear
// when a card written by another tool has none).
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
    bool operator==(const CardFacts&) const = default;
};
Q_DECLARE_TYPEINFO(CardFacts, Q_RELOCATABLE_TYPE); // a growing list of 100,000 moves them in one go

// The columns cardFactsOf() reads, in order.
extern const QString kCardFactsColumnList;

// A stored day field (c_jzr, c_hkr) as the refresh pass reads it: empty, or anything that is
// not a whole number, reads as 0, a day no month has.
int storedDay(const RawRow& row, int column);
// A stored number: empty reads as 0, text as its number.
double storedNumber(const RawRow& row, int column);

// The card of a row that holds kCardFactsColumnList from column `first` on.
CardFacts cardFactsOf(const RawRow& row, int first = 0);

// Every card of txyk, by id. Throws Error.
QList<CardFacts> readCardFacts(Database& db);

// Whether the card's repaid mark covers the repayment on `repayment`: a mark names the month of
// the repayment it was set for, and covers that month's repayment and earlier ones. A mark of an
// earlier month reads as unpaid even before a refresh clears it.
bool markCovers(const CardFacts& card, QDate repayment);
