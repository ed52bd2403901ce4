#pragma once

#include <QString>
#include <QStringList>

class QTimer;

// Snoozing the repayment reminder: the delays offered, the card's record of the chosen delay
// and the arming of the main window's snooze timer (Timer1).
namespace Snooze {

// The thirteen items of the delay list, "5分钟后再提醒" ... "12小时后再提醒".
extern const QStringList kItems;
constexpr int kDefaultDelayMs = 300000;

// The delay of the item at `index`; no item (-1) or an unknown index gives five minutes.
int delayForIndex(int index);

// "UPDATE Txyk SET t_time = 300000 where id=12"
QString statement(int delayMs, int id);

// Arms the timer the way a message-loop timer behaves: a different interval restarts the
// count, enabling a stopped timer starts it, and the same interval on a running timer
// leaves its due time as it was.
void arm(QTimer& timer, int delayMs);

} // namespace Snooze
