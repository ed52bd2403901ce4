#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

class Database;

// A card the reminder, the mail and `--summary` name as due soon: unpaid and due within two days.
struct DueSoonCard
{
    int id = 0;
    QString name;
    QString numberLast4;                // empty when the card has no readable number
    QDate repaymentDate;                // c_re_date
    int daysLeft = 0;                   // i_xyr
    std::optional<double> used;         // i_yxf; none when never filled in
    std::optional<double> minRepayment; // i_zdhkje
    bool operator==(const DueSoonCard&) const = default;
};

// The due-soon cards as stored now, most urgent first (Refresh::kDueSoonStatement). Throws Error.
QList<DueSoonCard> readDueSoonCards(Database& db);

// "1500", "120.5": a stored amount as the program shows it; empty for none.
QString amountText(const std::optional<double>& amount);
