#pragma once

#include <QDateTime>
#include <QString>

// The program's log of reminder mails in the home folder (velmora.log): one line per event,
// "2013-09-05 09:00:00 <text>", UTF-8, file mode 0600. Logging never fails the caller.
namespace MailLog {

void append(const QString& path, const QDateTime& at, const QString& text);

} // namespace MailLog
