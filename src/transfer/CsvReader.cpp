#include "transfer/CsvReader.h"

#include "store/Error.h"
#include "store/Gbk.h"

#include <QStringDecoder>

namespace CsvReader {

QString decode(const QByteArray& bytes)
{
    static const QByteArray bom("\xEF\xBB\xBF");
    QByteArrayView body(bytes);
    if (body.startsWith(bom))
        body = body.sliced(bom.size());
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (!utf8.hasError())
        return text;
    return Gbk::decode(body);
}

QList<Record> parse(const QString& text)
{
    QList<Record> records;
    Record record{1, {}};
    QString cell;
    bool atCellStart = true; // at the start of a line or right after a comma
    bool lineHasCell = false;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto endLine = [&] {
        if (lineHasCell)
            record.cells << cell;
        records << record;
        record = Record{record.row + 1, {}};
        cell.clear();
        atCellStart = true;
        lineHasCell = false;
    };
    while (i < n) {
        const QChar c = text[i];
        if (c == u'"' && atCellStart) {
            // A quoted cell: up to the lone closing quote; "" stands for one quote.
            const int column = int(record.cells.size()) + 1;
            ++i;
            bool closed = false;
            while (i < n) {
                if (text[i] == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        cell += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                cell += text[i++];
            }
            if (!closed)
                throw Error(QStringLiteral("第%1行第%2列：引号没有配对（缺少结尾的引号）。")
                                .arg(record.row)
                                .arg(column));
            if (i < n && text[i] != u',' && text[i] != u'\r' && text[i] != u'\n')
                throw Error(
                    QStringLiteral("第%1行第%2列：结尾的引号后面还有文字；单元格中的引号要写成两个（\"\"）。")
                        .arg(record.row)
                        .arg(column));
            atCellStart = false;
            lineHasCell = true;
        } else if (c == u',') {
            record.cells << cell;
            cell.clear();
            atCellStart = true;
            lineHasCell = true;
            ++i;
        } else if (c == u'\r' || c == u'\n') {
            endLine();
            i += (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ? 2 : 1;
        } else {
            cell += c;
            atCellStart = false;
            lineHasCell = true;
            ++i;
        }
    }
    if (lineHasCell)
        endLine();
    return records;
}

} // namespace CsvReader
