#pragma once

#include <QDate>
#include <QString>

// The due-date calculator: a withdrawal date plus a number of interest-free days.
namespace DueDateCalculator {

// The range of dates the date fields can show.
QDate earliestDate();
QDate latestDate();

// `withdrawal` plus the whole number in `daysText` (a leading minus sign is allowed).
// Throws Error with a Chinese message for text that is no integer and when the sum lies outside
// the shown range.
QDate repaymentDate(QDate withdrawal, const QString& daysText);

} // namespace DueDateCalculator
