#pragma once

#include "cli/CsvText.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>

class FieldColumnsModel;
class QWidget;

// The card list as the window exports it: the grid's column titles and its rows as shown, in the
// CSV text of cli/CsvText.h. The headless export is cli/ExportCommand.h.
namespace CsvExport {

// Titles, then each row of `grid` as its cells read (a flag as "是"/"否"). The check code is
// always left empty. Unless `fullNumbers`, the card number shows its last four digits and the
// validity stays empty.
QList<QStringList> tableOf(const FieldColumnsModel& grid, bool fullNumbers);

// Writes the file in one step. Throws Error.
void writeFile(const QString& path, const QByteArray& content);

// Asks where to save (a file dialog); tests replace it. Empty when cancelled.
QString askFileName(QWidget* parent);
void setFileNameHook(std::function<QString()> hook); // nullptr: the dialog again

} // namespace CsvExport
