#pragma once

#include <QDateTime>
#include <QString>

// The program's log in the home folder (velmora.log), written by every part of the program
// (reminder mails, backups, the calendar file): one line per event, "2013-09-05 09:00:00 <text>",
// UTF-8, file mode 0600. Logging never fails the caller.
namespace ProgramLog {

void append(const QString& path, const QDateTime& at, const QString& text);

} // namespace ProgramLog
