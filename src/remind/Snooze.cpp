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

QString statement(int delayMs, int id)
{
    return QStringLiteral("UPDATE Txyk SET t_time = ") + QString::number(delayMs) +
           QStringLiteral(" where id=") + QString::number(id);
}

} // namespace Snooze
