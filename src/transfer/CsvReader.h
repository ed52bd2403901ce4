#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// CSV files as spreadsheet programs and our own export write them: RFC 4180 quoting (doubled
// quotes, line breaks inside quoted cells), CRLF or LF line ends, UTF-8 with or without a byte
// order mark, or GBK, which Chinese spreadsheets save by default.
namespace CsvReader {

// The text of a file: a byte order mark dropped; valid UTF-8 read as UTF-8, anything else as GBK.
QString decode(const QByteArray& bytes);

// One line of the sheet: its row number as a spreadsheet shows it (the first line is row 1; a
// cell with line breaks still makes one row) and its cells.
struct Record
{
    int row = 0;
    QStringList cells;
};

// The records of `text`. A final line end makes no extra record; an empty line is a record
// without cells. Throws Error naming the row and column of a quote left open or of text after
// a closing quote.
QList<Record> parse(const QString& text);

} // namespace CsvReader
