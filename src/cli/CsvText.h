#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// CSV text of the card list: UTF-8 with a byte order mark (so spreadsheet programs read the
// Chinese right), quoted as RFC 4180 says, CRLF after each row.
namespace CsvExport {

inline constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// A cell a spreadsheet would take for a formula (starting with = + - @, a tab or a carriage
// return) gets a leading "'"; plain numbers stay as they are. Direction control characters go.
QString neutralised(const QString& value);
// One field, neutralised, then quoted (with doubled quotes) when it holds a comma, a quote or a
// line break.
QString field(const QString& cell);
// What an export with full card numbers says first.
extern const QString kUnencryptedNote;
// One row of fields with its CRLF, as UTF-8.
QByteArray line(const QStringList& row);
// The rows, CRLF after each, with the byte order mark in front.
QByteArray encode(const QList<QStringList>& rows);

} // namespace CsvExport
