#pragma once

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QTimer>

class Clock;

// Tells when the calendar day turns while the program runs, so that the day's work need not wait
// for the window to be shown: a timer to the next local midnight, and a look at the clock when
// the machine wakes from suspend (logind's PrepareForSleep on the system bus), or, where logind
// cannot be reached, once a minute (timers stand still during suspend; the wall clock does not).
class DayWatcher : public QObject
{
    Q_OBJECT
public:
    explicit DayWatcher(const Clock& clock, QObject* parent = nullptr);

    // Milliseconds from `now` to the next local midnight.
    static qint64 msecsToNextDay(const QDateTime& now);

    QDate day() const { return m_day; } // the day last seen
    const QTimer& midnightTimer() const { return m_midnight; }
    bool listensForWake() const { return m_listensForWake; }

public slots:
    // Looks at the clock: a day other than the one last seen is told once; the timer is re-armed.
    void check();
    // logind's PrepareForSleep: false when the machine has woken up.
    void prepareForSleep(bool sleeping);

signals:
    void dayChanged(QDate today);

private:
    void armMidnight();
    void listenForWake();

    const Clock& m_clock;
    QDate m_day;
    QTimer m_midnight;
    QTimer m_jumpCheck; // only without logind
    bool m_listensForWake = false;
};
