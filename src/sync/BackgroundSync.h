#pragma once

#include "billing/RepaymentCalendar.h"
#include "sync/CalendarSyncSettings.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <atomic>
#include <optional>

// Runs the calendar sync off the UI thread, one run at a time. A run asked for while one is
// under way follows it with the newest events. Each outcome is told once: a failure only
// when it differs from the last one told, a success only after a failure.
class BackgroundSync : public QObject
{
    Q_OBJECT
public:
    explicit BackgroundSync(QObject* parent = nullptr);
    ~BackgroundSync() override; // cancels a run under way and waits for it

    // Starts a run when `settings` name a calendar; does nothing otherwise.
    void start(const CalendarSyncSettings& settings, const QList<RepaymentCalendar::Event>& events,
               const QDateTime& stamp);
    bool running() const { return m_watcher.isRunning(); }

signals:
    void failed(const QString& message);    // a failure not told before
    void recovered(const QString& message); // the first success after a failure
    void finished(const QString& error);    // every run: empty on success

private:
    struct Job
    {
        CalendarSyncSettings settings;
        QList<RepaymentCalendar::Event> events;
        QDateTime stamp;
    };
    void run(Job job);
    void onFinished();

    QFutureWatcher<QString> m_watcher;
    std::atomic_bool m_cancel{false};
    std::optional<Job> m_next;
    QString m_lastError;
};
