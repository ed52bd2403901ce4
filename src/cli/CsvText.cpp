#include "cli/CsvText.h"

#include "store/BidiControls.h"

namespace CsvExport {

namespace {

// [+-]digits[.digits]: checked by hand, since every cell of a large export asks.
bool isPlainNumber(QStringView value)
{
    qsizetype i = 0;
    if (value.front() == u'+' || value.front() == u'-')
        ++i;
    const auto digits = [&] {
        const qsizetype start = i;
        while (i < value.size() && value[i] >= u'0' && value[i] <= u'9')
            ++i;
        return i > start;
    };
    if (!digits())
        return false;
    if (i < value.size() && value[i] == u'.') {
        ++i;
        if (!digits())
            return false;
    }
    return i == value.size();
}

} // namespace

const QString kUnencryptedNote = QStringLiteral(
    "注意：导出的文件没有加密，其中有完整的卡号和有效期，任何能读到这个文件的人都能看到它们。");

QString neutralised(const QString& cell)
{
    // Direction controls would make a cell read other than it is.
    const QString value = withoutBidiControls(cell);
    if (value.isEmpty() || isPlainNumber(value))
        return value; // a plain number is no formula
    const QChar first = value.front();
    if (first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' || first == u'\r')
        return u'\'' + value;
    return value;
}

QString field(const QString& cell)
{
    const QString value = neutralised(cell);
    if (!value.contains(u',') && !value.contains(u'"') && !value.contains(u'\n') && !value.contains(u'\r'))
        return value;
    QString quoted = value;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QByteArray line(const QStringList& row)
{
    QString text;
    for (qsizetype i = 0; i < row.size(); ++i) {
        if (i > 0)
            text += u',';
        text += field(row[i]);
    }
    text += QStringLiteral("\r\n");
    return text.toUtf8();
}

QByteArray encode(const QList<QStringList>& rows)
{
    QByteArray bytes(kByteOrderMark);
    for (const QStringList& row : rows)
        bytes += line(row);
    return bytes;
}

} // namespace CsvExport
