#pragma once

#include <QString>
#include <QStringList>

// Snoozing the repayment reminder: the delays offered and the card's record of the chosen delay.
namespace Snooze {

// The thirteen items of the delay list, "5分钟后再提醒" ... "12小时后再提醒".
extern const QStringList kItems;
constexpr int kDefaultDelayMs = 300000;

// The delay of the item at `index`; no item (-1) or an unknown index gives five minutes.
int delayForIndex(int index);

// "UPDATE Txyk SET t_time = 300000 where id=12"
QString statement(int delayMs, int id);

} // namespace Snooze
