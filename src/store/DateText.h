#pragma once

#include <QDate>
#include <QString>
#include <optional>

// "Date text": year, month and day in decimal without leading zeros, joined by "-"
// (2013-9-5). This is how dates are shown to the user and how statements carry them.
namespace DateText {

QString format(QDate date);
QString format(int year, int month, int day);

// Strict parse of "y-m-d" (leading zeros allowed, blanks around allowed).
std::optional<QDate> parse(QStringView text);

// Parse or throw Error("'<text>' is not a valid date").
QDate parseOrThrow(QStringView text);

// Day `day` of the given month, clamped to the month's last day (31 in April gives the 30th).
QDate clampedDate(int year, int month, int day);

} // namespace DateText
