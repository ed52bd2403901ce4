#pragma once

#include <QTimer>

// The program's timers behave like classic message-loop timers: switching on a timer that is
// already running keeps its countdown, setting a different interval restarts a running timer
// (the same interval changes nothing), and an interval of 0 or less never fires.
namespace LoopTimer {

inline void enable(QTimer& timer)
{
    if (timer.interval() <= 0) {
        timer.stop();
        return;
    }
    if (!timer.isActive())
        timer.start();
}

inline void setInterval(QTimer& timer, int msec)
{
    if (timer.interval() == msec)
        return;
    const bool running = timer.isActive();
    timer.stop();
    timer.setInterval(msec);
    if (running && msec > 0)
        timer.start(); // counts the new interval from now
}

// Interval, then enable: how the reminder's snooze arms the snooze timer.
inline void arm(QTimer& timer, int msec)
{
    setInterval(timer, msec);
    enable(timer);
}

} // namespace LoopTimer
