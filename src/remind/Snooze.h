#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Snoozing the repayment reminder: the delays offered and the card's record of the chosen delay.
namespace Snooze {

// The thirteen items of the delay list, "5分钟后再提醒" ... "12小时后再提醒".
extern const QStringList kItems;
constexpr int kDefaultDelayMs = 300000;

// The delay of the item at `index`; no item (-1) or an unknown index gives five minutes.
int delayForIndex(int index);

// Longest delay that can be typed, in minutes (a day).
constexpr int kMaxTypedMinutes = 1440;

// The delay for the text of the delay list: one of its items, or a typed whole number of minutes
// from 1 to kMaxTypedMinutes, optionally followed by "分钟" (or "分钟后再提醒"); full-width digits
// count. Anything else gives nullopt.
std::optional<int> delayForText(const QString& text);

// Message for a text that gives no delay.
QString unknownDelayMessage(const QString& text);

// "UPDATE Txyk SET t_time = 300000 where id=12"
QString statement(int delayMs, int id);

} // namespace Snooze
