#include "remind/Snooze.h"

#include <iterator>

namespace Snooze {

const QStringList kItems = {
    QStringLiteral("5分钟后再提醒"),  QStringLiteral("10分钟后再提醒"), QStringLiteral("15分钟后再提醒"),
    QStringLiteral("30分钟后再提醒"), QStringLiteral("1小时后再提醒"),  QStringLiteral("2小时后再提醒"),
    QStringLiteral("3小时后再提醒"),  QStringLiteral("4小时后再提醒"),  QStringLiteral("5小时后再提醒"),
    QStringLiteral("6小时后再提醒"),  QStringLiteral("8小时后再提醒"),  QStringLiteral("10小时后再提醒"),
    QStringLiteral("12小时后再提醒"),
};

int delayForIndex(int index)
{
    static const int minutes[] = {5, 10, 15, 30, 60, 120, 180, 240, 300, 360, 480, 600, 720};
    if (index < 0 || index >= int(std::size(minutes)))
        return kDefaultDelayMs;
    return minutes[index] * 60000;
}

std::optional<int> delayForText(const QString& text)
{
    QString t = text.trimmed();
    if (const int index = int(kItems.indexOf(t)); index >= 0)
        return delayForIndex(index);
    for (const QString suffix : {QStringLiteral("分钟后再提醒"), QStringLiteral("分钟")}) {
        if (t.endsWith(suffix)) {
            t.chop(suffix.size());
            t = t.trimmed();
            break;
        }
    }
    if (t.isEmpty() || t.size() > 4)
        return std::nullopt;
    int minutes = 0;
    for (const QChar c : t) {
        if (!c.isDigit()) // decimal digits, also the full-width ones of a Chinese input method
            return std::nullopt;
        minutes = minutes * 10 + c.digitValue();
    }
    if (minutes < 1 || minutes > kMaxTypedMinutes)
        return std::nullopt;
    return minutes * 60000;
}

QString unknownDelayMessage(const QString& text)
{
    return QStringLiteral("无法识别提醒时间“%1”。请从列表中选择，或输入1到%2之间的分钟数（如 20）。")
        .arg(text.trimmed())
        .arg(kMaxTypedMinutes);
}

QString statement(int delayMs, int id)
{
    return QStringLiteral("UPDATE Txyk SET t_time = ") + QString::number(delayMs) +
           QStringLiteral(" where id=") + QString::number(id);
}

} // namespace Snooze
