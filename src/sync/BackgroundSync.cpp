#include "sync/BackgroundSync.h"

#include "store/Error.h"
#include "store/SecretStore.h"
#include "sync/CalendarSync.h"

#include <QtConcurrent/QtConcurrentRun>

BackgroundSync::BackgroundSync(QObject* parent) : QObject(parent)
{
    connect(&m_watcher, &QFutureWatcher<QString>::finished, this, &BackgroundSync::onFinished);
}

BackgroundSync::~BackgroundSync()
{
    m_next.reset();
    m_cancel = true;
    m_watcher.waitForFinished();
}

void BackgroundSync::start(const CalendarSyncSettings& settings,
                           const QList<RepaymentCalendar::Event>& events, const QDateTime& stamp)
{
    if (!settings.configured())
        return;
    Job job{settings, events, stamp};
    if (m_watcher.isRunning()) {
        m_next = std::move(job); // only the newest waiting run counts
        return;
    }
    run(std::move(job));
}

void BackgroundSync::run(Job job)
{
    m_watcher.setFuture(QtConcurrent::run([job = std::move(job), cancel = &m_cancel]() mutable -> QString {
        try {
            job.settings.withKeyringPassword(SecretStore());
            CalendarSync::sync(job.settings, job.events, job.stamp, cancel);
            return {};
        } catch (const Error& e) {
            return e.message();
        }
    }));
}

void BackgroundSync::onFinished()
{
    const QString error = m_watcher.result();
    if (!error.isEmpty() && error != m_lastError)
        emit failed(error);
    else if (error.isEmpty() && !m_lastError.isEmpty())
        emit recovered(QStringLiteral("日历同步已恢复正常。"));
    m_lastError = error;
    emit finished(error);
    if (m_next) {
        Job next = std::move(*m_next);
        m_next.reset();
        run(std::move(next));
    }
}
