#pragma once

#include "store/HomeFolder.h"

#include <QTextStream>

class Database;
namespace SafeFile {
class Writer;
}

namespace CsvExport {

// Every card of `db` in the card list's columns and order, row by row into `out` (byte order
// mark first): flags as "是"/"否", dates and numbers as the list shows them, the check code
// always empty. Unless `fullNumbers`, the card number shows its last four digits and the
// validity stays empty. Returns the number of cards. Throws Error.
int writeCards(Database& db, SafeFile::Writer& out, bool fullNumbers);

// `velmora --export-csv FILE`: every card; full numbers only when password protection is off.
int runCommand(const HomeFolder& home, const QString& file, QTextStream& out, QTextStream& err);

} // namespace CsvExport
