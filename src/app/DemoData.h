#pragma once

#include <QDate>
#include <QString>

class Database;

// Sample holders and cards for `velmora --demo`, placed around `today` so that every due
// state shows at once: due today, in two days, within the week, overdue, repaid, and later.
namespace DemoData {

void seed(Database& db, QDate today);

} // namespace DemoData
