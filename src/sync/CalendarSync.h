#pragma once

#include "billing/RepaymentCalendar.h"
#include "sync/CalendarSyncSettings.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>
#include <atomic>

// Keeps a CalDAV calendar collection holding exactly the repayment events: each event is a
// resource of its own, new ones created, changed ones replaced, ours that are no longer
// current deleted. Events that are not ours (by UID) are never touched. Nothing is kept
// locally: every run reads what the server holds, so an interrupted run is finished by the next.
namespace CalendarSync {

struct Report
{
    int created = 0;
    int updated = 0;
    int deleted = 0;
    int unchanged = 0;
};

// An event resource of the collection as the server lists it.
struct Resource
{
    QUrl url;
    QByteArray etag;
    QByteArray data; // the calendar object
    QString uid;     // of its first VEVENT
};

// Whether a UID is one the program gives its events.
bool isOwnUid(const QString& uid);

// The resource name of an event: its UID, percent-encoded, with ".ics".
QString resourceName(const QString& uid);

// The <response> elements of a multistatus answer that carry calendar data, hrefs resolved
// against `base`.
QList<Resource> parseResources(const QByteArray& multistatus, const QUrl& base);
// Whether the collection answer (PROPFIND Depth 0) names a calendar.
bool isCalendarCollection(const QByteArray& multistatus);

// The UID of the first VEVENT of a calendar object; empty when it has none.
QString uidOf(const QByteArray& calendarObject);
// Whether the server's copy says what `ours` says: every line of ours but DTSTAMP is in it
// (unfolded); servers may add lines of their own or fold and order differently.
bool sameEvent(const QByteArray& ours, const QByteArray& theirs);

// Checks that the collection is reachable with these settings and is a calendar. Throws Error
// with a message in Chinese.
void check(const CalendarSyncSettings& settings, const std::atomic_bool* cancel = nullptr);

// Brings the collection to `events`. Throws Error with a message in Chinese at the first
// failure; what was done until then stays done and the next run completes it.
Report sync(const CalendarSyncSettings& settings, const QList<RepaymentCalendar::Event>& events,
            const QDateTime& stamp, const std::atomic_bool* cancel = nullptr);

// "日历已同步：新增2个，更新1个，删除1个，未变3个。"
QString reportText(const Report& report);

} // namespace CalendarSync
