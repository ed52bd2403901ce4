#include "store/Error.h"
#include "transfer/CsvReader.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

namespace {

// Every cell quoted, quotes doubled: the most a writer can quote.
QString quoted(const QList<CsvReader::Record>& records)
{
    QString text;
    for (const CsvReader::Record& record : records) {
        QStringList cells;
        for (QString cell : record.cells)
            cells << u'"' + cell.replace(u'"', QStringLiteral("\"\"")) + u'"';
        text += cells.join(u',') + QStringLiteral("\r\n");
    }
    return text;
}

} // namespace

// Any bytes decode and either parse or are refused with an Error; what parses, written again
// with every cell quoted, parses to the same cells on the same rows.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<CsvReader::Record> records;
    try {
        records = CsvReader::parse(CsvReader::decode(bytes));
    } catch (const Error&) {
        return 0;
    }
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (records[i].row != i + 1)
            std::abort();
    }
    const QList<CsvReader::Record> again = CsvReader::parse(quoted(records));
    if (again.size() != records.size())
        std::abort();
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (again[i].cells != records[i].cells || again[i].row != records[i].row)
            std::abort();
    }
    return 0;
}
