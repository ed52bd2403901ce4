#include "store/SqlDialect.h"

#include "store/DateText.h"
#include "store/Error.h"

namespace SqlDialect {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

QString isoLiteral(QStringView dateText)
{
    const QDate date = DateText::parseOrThrow(dateText);
    return u'\'' + date.toString(Qt::ISODate) + u'\'';
}

} // namespace

QString translate(const QString& statement)
{
    QString out;
    out.reserve(statement.size() + 16);
    const qsizetype n = statement.size();
    qsizetype i = 0;
    // The holder table has no c_jzr: "from tname ... order by c_jzr" orders holders by name.
    bool fromHolders = false;
    QStringView previous, beforePrevious;
    while (i < n) {
        const QChar c = statement[i];
        if (c == u'\'') { // quoted text, '' inside is a quote
            qsizetype j = i + 1;
            while (j < n) {
                if (statement[j] == u'\'') {
                    if (j + 1 < n && statement[j + 1] == u'\'') {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const qsizetype end = std::min(j + 1, n);
            const QStringView literal = QStringView(statement).mid(i, end - i);
            if (literal.contains(QChar(0))) {
                // SQLite ends a statement at a NUL even inside quotes: splice it in instead.
                QString spliced = literal.toString();
                spliced.replace(QChar(0), QStringLiteral("'||char(0)||'"));
                out += spliced;
            } else {
                out += literal;
            }
            i = end;
        } else if (c == u'#') {
            const qsizetype close = statement.indexOf(u'#', i + 1);
            if (close < 0)
                throw Error(QStringLiteral("Syntax error in date literal: %1").arg(statement.mid(i)));
            out += isoLiteral(QStringView(statement).mid(i + 1, close - i - 1));
            i = close + 1;
        } else if (isDigit(c) && (i == 0 || !isWordChar(statement[i - 1]))) {
            qsizetype j = i;
            while (j < n && (isDigit(statement[j]) || statement[j] == u'.'))
                ++j;
            out += QStringView(statement).mid(i, j - i);
            if (j < n && statement[j].isLetter() && statement[j] != u'e' && statement[j] != u'E')
                out += u' ';
            i = j;
        } else if (c.isLetter() || c == u'_') {
            qsizetype j = i;
            while (j < n && isWordChar(statement[j]))
                ++j;
            const QStringView word = QStringView(statement).mid(i, j - i);
            if (previous.compare(u"from", Qt::CaseInsensitive) == 0)
                fromHolders = word.compare(u"tname", Qt::CaseInsensitive) == 0;
            if (word.compare(u"true", Qt::CaseInsensitive) == 0)
                out += u'1';
            else if (word.compare(u"false", Qt::CaseInsensitive) == 0)
                out += u'0';
            else if (fromHolders && word.compare(u"c_jzr", Qt::CaseInsensitive) == 0 &&
                     previous.compare(u"by", Qt::CaseInsensitive) == 0 &&
                     beforePrevious.compare(u"order", Qt::CaseInsensitive) == 0)
                out += QStringLiteral("c_name");
            else
                out += word;
            beforePrevious = previous;
            previous = word;
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

QString quoted(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\'', QStringLiteral("''"));
    return u'\'' + escaped + u'\'';
}

} // namespace SqlDialect
