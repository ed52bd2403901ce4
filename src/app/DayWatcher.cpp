#include "app/DayWatcher.h"

#include "store/Clock.h"

#include <QDBusConnection>

#include <algorithm>

namespace {
// Fired a moment after midnight, so the clock surely reads the new day.
constexpr qint64 kAfterMidnightMsecs = 2000;
constexpr int kJumpCheckMsecs = 60000;
constexpr int kListenAfterMsecs = 5000;
} // namespace

DayWatcher::DayWatcher(const Clock& clock, QObject* parent) : QObject(parent), m_clock(clock)
{
    m_day = m_clock.today();
    m_midnight.setObjectName(QStringLiteral("midnightTimer"));
    m_midnight.setSingleShot(true);
    m_midnight.setTimerType(Qt::PreciseTimer);
    connect(&m_midnight, &QTimer::timeout, this, &DayWatcher::check);
    armMidnight();

    m_jumpCheck.setInterval(kJumpCheckMsecs);
    connect(&m_jumpCheck, &QTimer::timeout, this, &DayWatcher::check);
    m_jumpCheck.start();
    // The system bus is reached once the window is up: it is not needed in the first seconds.
    QTimer::singleShot(kListenAfterMsecs, this, &DayWatcher::listenForWake);
}

void DayWatcher::listenForWake()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    m_listensForWake =
        bus.isConnected() &&
        bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                    SLOT(prepareForSleep(bool)));
    if (m_listensForWake)
        m_jumpCheck.stop(); // logind tells when the machine wakes
}

qint64 DayWatcher::msecsToNextDay(const QDateTime& now)
{
    const QDateTime local = now.toLocalTime();
    const QDateTime midnight(local.date().addDays(1), QTime(0, 0));
    return std::max<qint64>(local.msecsTo(midnight), 0);
}

void DayWatcher::armMidnight()
{
    // QTimer takes an int: a day in milliseconds fits.
    m_midnight.start(
        int(std::min<qint64>(msecsToNextDay(m_clock.now()) + kAfterMidnightMsecs, 86400000 * 2)));
}

void DayWatcher::check()
{
    const QDate today = m_clock.today();
    armMidnight();
    if (today == m_day)
        return;
    m_day = today;
    emit dayChanged(today);
}

void DayWatcher::prepareForSleep(bool sleeping)
{
    if (!sleeping)
        check();
}
