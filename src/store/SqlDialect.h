#pragma once

#include <QString>

// Statements are built in the program's own dialect (the texts the card list, the refresh
// pass and the planner use) and translated to SQLite here, and only here:
//   #y-m-d#            -> '2013-09-05'  (dates are stored as ISO text)
//   True / False       -> 1 / 0         (outside quotes, any case)
//   0and               -> 0 and         (a number glued to the next word)
//   from tname ... order by c_jzr -> order by c_name  (the holder list is ordered by name)
// Quoted text is copied unchanged. A date literal that is no date throws
// Error("'<text>' is not a valid date").
namespace SqlDialect {

QString translate(const QString& statement);

// A text value as a quoted literal with quotes doubled: O'Brien -> 'O''Brien'.
QString quoted(const QString& text);

} // namespace SqlDialect
