#include "views/CardRules.h"

#include <QStringList>
#include <cmath>

namespace CardRules {

RowShade rowShade(const QVariant& daysLeft, const QVariant& repaid)
{
    // No days left stored: the card could not be computed (or not yet), so nothing is due.
    if (!daysLeft.isValid() || daysLeft.isNull())
        return RowShade::Default;
    const int days = int(std::lround(daysLeft.toDouble()));
    const bool paid = repaid.isNull() ? false : repaid.toBool();
    if (paid)
        return RowShade::Default;
    if (days == 0)
        return RowShade::DueToday;
    if (days <= 3)
        return RowShade::DueSoon;
    return RowShade::Default;
}

QString formatSum(double value)
{
    if (std::abs(value - std::round(value)) < 0.005)
        return QString::number(std::llround(value));
    QString text = QString::number(value, 'f', 2);
    while (text.endsWith(u'0'))
        text.chop(1);
    return text;
}

QString ratioMeaning(const QString& text)
{
    bool ok = false;
    const double ratio = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(ratio))
        return {};
    return QStringLiteral("= ") + formatSum(ratio * 10) + u'%';
}

std::optional<QString> checkHolderName(const QString& name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("请填写持卡人。");
    return std::nullopt;
}

namespace {

struct FieldRule
{
    const char16_t* field;
    const char16_t* label;
    enum Kind { RequiredText, Day, WholeNumber, Number } kind;
};

// In the editor's keyboard order, so the first problem reported is the first field met.
constexpr FieldRule kRules[] = {
    {u"c_name", u"卡名", FieldRule::RequiredText},
    {u"c_jzr", u"账单日", FieldRule::Day},
    {u"izdhkr", u"最短免息日", FieldRule::WholeNumber},
    {u"i_ed", u"总额度", FieldRule::WholeNumber},
    {u"i_mxr", u"最长免息日", FieldRule::Number},
    {u"i_zdhkbl", u"最低还款比例", FieldRule::Number},
    {u"i_zdhkje", u"最低还款金额", FieldRule::Number},
    {u"i_yxf", u"已消费", FieldRule::Number},
    {u"c_hkr", u"还款日", FieldRule::Day},
};

} // namespace

std::optional<FieldProblem> checkCard(const QHash<QString, QString>& texts)
{
    for (const FieldRule& rule : kRules) {
        const QString field = QString::fromUtf16(rule.field);
        const auto it = texts.constFind(field);
        if (it == texts.constEnd())
            continue;
        const QString text = it->trimmed();
        const QString label = QString::fromUtf16(rule.label);
        bool ok = true;
        switch (rule.kind) {
        case FieldRule::RequiredText:
            if (text.isEmpty())
                return FieldProblem{field, QStringLiteral("请填写%1。").arg(label)};
            break;
        case FieldRule::Day: {
            const int day = text.toInt(&ok);
            if (!ok || day < 1 || day > 31)
                return FieldProblem{field, QStringLiteral("%1必须是1到31之间的整数。").arg(label)};
            break;
        }
        case FieldRule::WholeNumber:
            if (!text.isEmpty()) {
                text.toInt(&ok);
                if (!ok)
                    return FieldProblem{field, QStringLiteral("%1必须是整数。").arg(label)};
            }
            break;
        case FieldRule::Number:
            if (!text.isEmpty()) {
                const double value = text.toDouble(&ok);
                if (!ok || !std::isfinite(value))
                    return FieldProblem{field, QStringLiteral("%1必须是数字。").arg(label)};
            }
            break;
        }
    }
    return std::nullopt;
}

} // namespace CardRules

QString SortMarkers::click(int column, const QString& field, bool ctrl)
{
    const Marker before = marker(column);
    const QString sort = before == Marker::Down ? field : field + QStringLiteral(" DESC");
    if (!ctrl)
        m_markers.clear();
    Marker after = Marker::Down;
    if (before == Marker::Down)
        after = Marker::Up;
    else if (before == Marker::Up)
        after = ctrl ? Marker::None : Marker::Down;
    m_markers.insert(column, after);
    return sort;
}
