#include "app/StartupProbe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QList>
#include <QPair>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

bool probing()
{
    static const bool on = qEnvironmentVariableIsSet("VELMORA_BENCH_EXIT_AFTER_SHOW");
    return on;
}

QList<QPair<const char*, double>>& steps()
{
    static QList<QPair<const char*, double>> list;
    return list;
}

// Milliseconds since this process started, from the kernel's own record of the start time.
double millisecondsSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return -1;
    const double startTicks = fields[19].toDouble(); // field 22 of the whole line
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double ticksPerSecond = double(sysconf(_SC_CLK_TCK));
    return (now.tv_sec + now.tv_nsec / 1e9 - startTicks / ticksPerSecond) * 1000.0;
}

class FirstPaintProbe : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            const double now = millisecondsSinceProcessStart();
            for (const auto& [step, at] : std::as_const(steps()))
                std::printf("startup_step %.1f %s\n", at, step);
            std::printf("startup_ms %.1f\n", now);
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_done = false;
};

} // namespace

void markStartupStep(const char* step)
{
    if (!probing())
        return;
    // The kernel's start time is read once; later steps add the monotonic time gone since.
    static const double startMs = millisecondsSinceProcessStart();
    static QElapsedTimer sinceStart;
    if (!sinceStart.isValid())
        sinceStart.start();
    steps().append({step, startMs + sinceStart.nsecsElapsed() / 1e6});
}

void installStartupProbe(QWidget* window)
{
    if (!probing())
        return;
    window->installEventFilter(new FirstPaintProbe(window));
}
