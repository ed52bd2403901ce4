#pragma once

#include <QDate>
#include <QString>

class Database;
class HomeFolder;

// Sample holders and cards for `velmora --demo`, placed around `today` so that every due
// state shows at once: due today, in two days, within the week, overdue, repaid, and later.
namespace DemoData {

void seed(Database& db, QDate today);

// A throw-away home: the sample cards, and protection off so the first look is the reminder
// with the due sample cards rather than a login for a password nobody set.
void prepareHome(const HomeFolder& home, QDate today);

} // namespace DemoData
