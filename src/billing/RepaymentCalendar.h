#pragma once

#include "billing/CardFacts.h"
#include "store/HomeFolder.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QTextStream>
#include <functional>

class Clock;
class Database;

// Repayment dates as an iCalendar file (RFC 5545) that any calendar program can import or
// subscribe to. Card numbers appear by their last four digits only.
namespace RepaymentCalendar {

struct Event
{
    int cardId = 0;
    QDate date;          // all-day event
    QDate statementDate; // the statement this repayment settles
    QString summary;     // "还款：招行 尾号6789"
    QString description; // minimum repayment and statement date
    QString uid;         // card id + date: the same event keeps its UID from run to run
};

// For each card with usable days: this month's repayment date unless it is repaid or has
// passed, and next month's repayment day (clamped to that month's end) unless it is repaid
// (a mark set at this month's end for it).
QList<Event> events(const QList<CardFacts>& cards, QDate today);

// The whole calendar, CRLF line ends, lines folded at 75 octets. A `source` (see sourceOf()) is
// kept in an X-VELMORA-SOURCE line of the header.
QByteArray text(const QList<Event>& events, const QDateTime& stamp, const QByteArray& source = {});
// The same bytes handed to `sink` in pieces of a few hundred kilobytes: a large calendar is never
// held whole. A sink throws Error to stop.
using Sink = std::function<void(QByteArrayView piece)>;
void writeText(const QList<Event>& events, const QDateTime& stamp, const QByteArray& source,
               const Sink& sink);
// The calendar of `cards` as of `today` that way, each event made as it is written.
void writeText(const QList<CardFacts>& cards, QDate today, const QDateTime& stamp, const QByteArray& source,
               const Sink& sink);

// One event as a calendar of its own (no METHOD, no calendar name): a resource of a calendar
// collection on a server, with the same lines as the event has in text().
QByteArray eventText(const Event& event, const QDateTime& stamp);

// What the calendar of `cards` is made of as of `today`, as a hash: the same hash, the same events.
QByteArray sourceOf(const QList<CardFacts>& cards, QDate today);
// Whether the calendar file at `path` was made from `source`: then it need not be rebuilt.
bool fileMadeFrom(const QString& path, const QByteArray& source);

// The calendar of `cards` (or of the database's cards) as of the clock's today, with its source.
QByteArray forCards(const QList<CardFacts>& cards, const Clock& clock);
QByteArray forDatabase(Database& db, const Clock& clock); // throws Error

// Writes `calendar` to `path` in one step (mode 0600). Throws Error.
void writeFile(const QString& path, const QByteArray& calendar);
// Writes the calendar of `cards` as of `today` to `path` that way (mode 0600), streamed: neither
// the text nor the list of events is ever held whole. Throws Error.
void writeFile(const QString& path, const QList<CardFacts>& cards, QDate today, const QDateTime& stamp,
               const QByteArray& source);

// TEXT value escaping: \ ; , and line breaks.
QString escapeText(const QString& value);
// One content line folded to lines of at most 75 octets (never inside a UTF-8 character).
QByteArray fold(const QByteArray& line);

// `velmora --ics`: the calendar on standard output; reads the database, changes nothing.
int runCommand(const HomeFolder& home, const Clock& clock, QIODevice& out, QTextStream& err);

} // namespace RepaymentCalendar
