#pragma once

#include "store/Clock.h"
#include "store/HomeFolder.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QTextStream>
#include <functional>

class FieldColumnsModel;
class QWidget;

// The card list as a CSV file: the grid's column titles and its rows as shown, UTF-8 with a
// byte order mark (so spreadsheet programs read the Chinese right), quoted as RFC 4180 says.
namespace CsvExport {

// A cell a spreadsheet would take for a formula (starting with = + - @, a tab or a carriage
// return) gets a leading "'"; plain numbers stay as they are. Direction control characters go.
QString neutralised(const QString& value);
// One field, neutralised, then quoted (with doubled quotes) when it holds a comma, a quote or a
// line break.
QString field(const QString& cell);
// What an export with full card numbers says first.
extern const QString kUnencryptedNote;
// The rows, CRLF after each, with the byte order mark in front.
QByteArray encode(const QList<QStringList>& rows);

// Titles, then each row of `grid` as its cells read (a flag as "是"/"否"). The check code is
// always left empty. Unless `fullNumbers`, the card number shows its last four digits and the
// validity stays empty.
QList<QStringList> tableOf(const FieldColumnsModel& grid, bool fullNumbers);

// Writes the file in one step. Throws Error.
void writeFile(const QString& path, const QByteArray& content);

// Asks where to save (a file dialog); tests replace it. Empty when cancelled.
QString askFileName(QWidget* parent);
void setFileNameHook(std::function<QString()> hook); // nullptr: the dialog again

// `velmora --export-csv FILE`: every card; full numbers only when password protection is off.
int runCommand(const HomeFolder& home, const QString& file, QTextStream& out, QTextStream& err);

} // namespace CsvExport
