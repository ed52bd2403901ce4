#include "planner/IntegerText.h"

#include "store/Error.h"

namespace IntegerText {

std::optional<int> parse(QStringView text)
{
    text = text.trimmed();
    qsizetype pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'-' || text[pos] == u'+'))
        negative = text[pos++] == u'-';
    if (pos == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; pos < text.size(); ++pos) {
        const QChar c = text[pos];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > qint64(INT_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        return std::nullopt;
    return int(value);
}

int parseOrThrow(const QString& text, const QString& field)
{
    if (const auto value = parse(text))
        return *value;
    throw Error(QStringLiteral("%1“%2”不是有效的整数。").arg(field, text));
}

} // namespace IntegerText
