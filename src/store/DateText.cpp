#include "store/DateText.h"

#include "store/Error.h"

namespace DateText {

QString format(QDate date)
{
    if (!date.isValid())
        return {};
    return format(date.year(), date.month(), date.day());
}

QString format(int year, int month, int day)
{
    return QString::number(year) + u'-' + QString::number(month) + u'-' + QString::number(day);
}

namespace {
// Reads an unsigned decimal of 1..maxDigits digits starting at pos; -1 when there is none.
int readNumber(QStringView text, qsizetype& pos, int maxDigits)
{
    int value = 0;
    int digits = 0;
    while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9') {
        if (++digits > maxDigits)
            return -1;
        value = value * 10 + (text[pos].unicode() - u'0');
        ++pos;
    }
    return digits == 0 ? -1 : value;
}
} // namespace

std::optional<QDate> parse(QStringView text)
{
    text = text.trimmed();
    qsizetype pos = 0;
    const int year = readNumber(text, pos, 4);
    if (year < 0 || pos >= text.size() || text[pos++] != u'-')
        return std::nullopt;
    const int month = readNumber(text, pos, 2);
    if (month < 0 || pos >= text.size() || text[pos++] != u'-')
        return std::nullopt;
    const int day = readNumber(text, pos, 2);
    if (day < 0 || pos != text.size())
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid() || year < 1)
        return std::nullopt;
    return date;
}

QDate parseOrThrow(QStringView text)
{
    if (auto date = parse(text))
        return *date;
    throw Error(QStringLiteral("'%1' is not a valid date").arg(text.toString()));
}

QDate clampedDate(int year, int month, int day)
{
    const QDate first(year, month, 1);
    return QDate(year, month, std::clamp(day, 1, first.daysInMonth()));
}

} // namespace DateText
