#include "billing/RepaymentCalendar.h"

#include "billing/CardSchedule.h"
#include "store/Clock.h"
#include "store/Database.h"
#include "store/DateText.h"
#include "store/Error.h"
#include "store/SafeFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <future>
#include <span>
#include <vector>

namespace RepaymentCalendar {

namespace {

const QByteArray kSourceProperty = QByteArrayLiteral("X-VELMORA-SOURCE:");
constexpr char kCalendarEnd[] = "END:VCALENDAR\r\n";

// "20130905"; written by hand, as the calendar formats several per card.
QByteArray compactDate(QDate date)
{
    int y = 0, m = 0, d = 0;
    date.getDate(&y, &m, &d);
    if (y >= 1 && y <= 9999) {
        const char text[8] = {char('0' + y / 1000), char('0' + y / 100 % 10), char('0' + y / 10 % 10),
                              char('0' + y % 10),   char('0' + m / 10),       char('0' + m % 10),
                              char('0' + d / 10),   char('0' + d % 10)};
        return QByteArray(text, 8);
    }
    char text[9];
    std::snprintf(text, sizeof text, "%04d%02d%02d", y, m, d);
    return QByteArray(text, 8);
}

QString amountText(double value)
{
    return QString::number(value, 'f', value == std::floor(value) ? 0 : 2);
}

// The statement that a repayment on `repayment` settles: the same month's statement day when
// it comes before the repayment day, else the previous month's.
QDate statementFor(QDate repayment, int statementDay, int repaymentDay)
{
    const QDate month = statementDay < repaymentDay ? repayment : repayment.addMonths(-1);
    return DateText::clampedDate(month.year(), month.month(), statementDay);
}

QString summaryOf(const CardFacts& card)
{
    return QStringLiteral("还款：") + card.name + QStringLiteral(" 尾号") +
           (card.numberLast4.isEmpty() ? QStringLiteral("----") : card.numberLast4);
}

Event makeEvent(const CardFacts& card, QDate date, double minRepayment)
{
    Event e;
    e.cardId = card.id;
    e.date = date;
    e.statementDate = statementFor(date, card.statementDay, card.repaymentDay);
    e.summary = summaryOf(card);
    e.description = QStringLiteral("最低还款额：") + amountText(minRepayment) +
                    QStringLiteral("元\n账单日：") + DateText::format(e.statementDate);
    e.uid = QStringLiteral("velmora-card") + QString::number(card.id) + u'-' +
            QLatin1String(compactDate(date)) + QStringLiteral("@velmora");
    return e;
}

// The repayment dates as of a day, with their texts: every card with the same statement and
// repayment days has the same, so they are made once (a date's text costs more than the rest of
// an event's line).
class EventDays
{
public:
    struct Day
    {
        QDate date;
        QByteArray start, end; // DTSTART and DTEND: "20130905", "20130906"
        // "2013-8-20": the statement this repayment settles, by statement day (1..31)
        std::array<QByteArray, 32> statement;
    };

    explicit EventDays(QDate today) : m_today(today)
    {
        const QDate nextMonth = QDate(today.year(), today.month(), 1).addMonths(1);
        for (int repaymentDay = 1; repaymentDay <= 31; ++repaymentDay) {
            fill(m_thisMonth[size_t(repaymentDay)],
                 DateText::clampedDate(today.year(), today.month(), repaymentDay), repaymentDay);
            // Next month's repayment day, clamped to that month's end.
            fill(m_nextMonth[size_t(repaymentDay)],
                 DateText::clampedDate(nextMonth.year(), nextMonth.month(), repaymentDay), repaymentDay);
        }
    }

    QDate today() const { return m_today; }
    // For a usable repayment day (1..31).
    const Day& thisMonth(int repaymentDay) const { return m_thisMonth[size_t(repaymentDay)]; }
    const Day& nextMonth(int repaymentDay) const { return m_nextMonth[size_t(repaymentDay)]; }

private:
    static void fill(Day& day, QDate date, int repaymentDay)
    {
        day.date = date;
        day.start = compactDate(date);
        day.end = compactDate(date.addDays(1));
        for (int statementDay = 1; statementDay <= 31; ++statementDay)
            day.statement[size_t(statementDay)] =
                DateText::format(statementFor(date, statementDay, repaymentDay)).toLatin1();
    }

    QDate m_today;
    std::array<Day, 32> m_thisMonth, m_nextMonth;
};

// Each event of `cards` in turn, as events() lists them: its card, day and minimum repayment.
template <typename Cards, typename OnEvent>
void forEachEvent(const Cards& cards, const EventDays& days, OnEvent onEvent)
{
    const QDate today = days.today();
    ScheduleTable schedules(today);
    for (const CardFacts& card : cards) {
        const auto found = schedules.find(card.statementDay, card.repaymentDay, card.ratio, card.used);
        if (!found)
            continue; // else both days are usable
        const double minRepayment = found->minRepayment;
        const EventDays::Day& thisMonth = days.thisMonth(card.repaymentDay);
        if (thisMonth.date >= today && !markCovers(card, thisMonth.date))
            onEvent(card, thisMonth, minRepayment);
        // Next month's stays until it is marked repaid (from this month's end on, it can be).
        const EventDays::Day& next = days.nextMonth(card.repaymentDay);
        if (!markCovers(card, next.date))
            onEvent(card, next, minRepayment);
    }
}

} // namespace

QList<Event> events(const QList<CardFacts>& cards, QDate today)
{
    QList<Event> out;
    out.reserve(cards.size() * 2);
    forEachEvent(cards, EventDays(today),
                 [&out](const CardFacts& card, const auto& day, double minRepayment) {
                     out.append(makeEvent(card, day.date, minRepayment));
                 });
    return out;
}

namespace {

// U+202A-U+202E (E2 80 AA-AE) or U+2066-U+2069 (E2 81 A6-A9) in UTF-8 at `i`.
bool bidiControlAt(QByteArrayView utf8, qsizetype i)
{
    if (i + 2 >= utf8.size() || quint8(utf8[i]) != 0xE2)
        return false;
    const quint8 second = quint8(utf8[i + 1]);
    const quint8 third = quint8(utf8[i + 2]);
    return (second == 0x80 && third >= 0xAA && third <= 0xAE) ||
           (second == 0x81 && third >= 0xA6 && third <= 0xA9);
}

// TEXT escaping (RFC 5545 3.3.11), done on UTF-8: every character it changes is ASCII; direction
// controls are left out.
void appendEscaped(QByteArray& out, QByteArrayView utf8)
{
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (bidiControlAt(utf8, i)) {
            i += 2; // a direction control would make the entry read other than it is
            continue;
        }
        if (c == '\\' || c == ';' || c == ',') {
            out += '\\';
            out += c;
        } else if (c == '\r') {
            out += "\\n";
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out += "\\n";
        } else if (quint8(c) < 0x20 && c != '\t') {
            continue;
        } else {
            out += c;
        }
    }
}

// `line` folded at 75 octets, never inside a UTF-8 character, appended to `out`.
void appendFolded(QByteArray& out, QByteArrayView line)
{
    qsizetype start = 0;
    int limit = 75; // a continuation line spends one octet on its leading blank
    while (line.size() - start > limit) {
        qsizetype cut = start + limit;
        while (cut > start && (quint8(line[cut]) & 0xC0) == 0x80)
            --cut; // not inside a UTF-8 character
        out.append(line.data() + start, cut - start);
        out += "\r\n ";
        start = cut;
        limit = 74;
    }
    out.append(line.data() + start, line.size() - start);
    out += "\r\n";
}

} // namespace

QString escapeText(const QString& value)
{
    QByteArray out;
    appendEscaped(out, value.toUtf8());
    return QString::fromUtf8(out);
}

QByteArray fold(const QByteArray& line)
{
    QByteArray out;
    appendFolded(out, line);
    return out;
}

namespace {

// The calendar text event by event, handed to a sink in pieces of a few hundred kilobytes.
class CalendarWriter
{
public:
    // What surrounds the events: a calendar file, one event's own calendar on a server (no
    // METHOD, no name), or nothing (a run of events of a larger calendar).
    enum class Frame { File, Resource, None };

    CalendarWriter(const QByteArray& dtstamp, const QByteArray& source, const Sink& sink, Frame frame)
        : m_sink(sink), m_dtstamp(dtstamp), m_frame(frame)
    {
        m_out.reserve(kPiece + 4096);
        // One content line before folding, and the escaped summary (used twice): emptied, never freed.
        m_line.reserve(1024);
        m_summary.reserve(1024);
        if (frame == Frame::None)
            return;
        m_out +=
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Velmora//Velmora 2.0//ZH\r\nCALSCALE:GREGORIAN\r\n";
        if (frame == Frame::Resource)
            return;
        m_out += "METHOD:PUBLISH\r\n";
        if (!source.isEmpty())
            m_out += kSourceProperty + source + "\r\n";
        m_out += fold("X-WR-CALNAME:" + escapeText(QStringLiteral("信用卡还款日")).toUtf8());
    }

    static QByteArray stampText(const QDateTime& stamp)
    {
        return stamp.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toLatin1();
    }

    void add(const Event& e)
    {
        m_summary.resize(0);
        appendEscaped(m_summary, e.summary.toUtf8());
        m_description.resize(0);
        appendEscaped(m_description, e.description.toUtf8());
        add(e.uid.toUtf8(), compactDate(e.date), compactDate(e.date.addDays(1)), m_summary, m_description);
    }

    // An event of a card's: the texts it shares with the card's other event are made once.
    void add(const CardFacts& card, const EventDays::Day& day, double minRepayment)
    {
        if (card.id != m_cardId || m_cardId == 0 || minRepayment != m_minRepayment) {
            m_cardId = card.id;
            m_minRepayment = minRepayment;
            m_summary.resize(0);
            appendEscaped(m_summary, summaryOf(card).toUtf8());
            m_amount = amountText(minRepayment).toUtf8();
        }
        // The description as makeEvent() words it, escaped: its only character to escape is the
        // line break, and the name is not in it.
        m_description.resize(0);
        m_description += "最低还款额：";
        m_description += m_amount;
        m_description += "元\\n账单日：";
        m_description += day.statement[size_t(card.statementDay)];
        m_uid.resize(0);
        m_uid += "velmora-card";
        m_uid += QByteArray::number(card.id);
        m_uid += '-';
        m_uid += day.start;
        m_uid += "@velmora";
        add(m_uid, day.start, day.end, m_summary, m_description);
    }

    void add(QByteArrayView uid, QByteArrayView start, QByteArrayView end, QByteArrayView summary,
             QByteArrayView description)
    {
        m_out += "BEGIN:VEVENT\r\n";
        startLine("UID:");
        m_line += uid;
        appendFolded(m_out, m_line);
        m_out += "DTSTAMP:";
        m_out += m_dtstamp;
        m_out += "\r\nDTSTART;VALUE=DATE:";
        m_out += start;
        m_out += "\r\nDTEND;VALUE=DATE:";
        m_out += end;
        m_out += "\r\n";
        startLine("SUMMARY:");
        m_line += summary;
        appendFolded(m_out, m_line);
        startLine("DESCRIPTION:");
        m_line += description;
        appendFolded(m_out, m_line);
        m_out += "TRANSP:TRANSPARENT\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-P2D\r\n";
        startLine("DESCRIPTION:");
        m_line += summary;
        appendFolded(m_out, m_line);
        m_out += "END:VALARM\r\nEND:VEVENT\r\n";
        if (m_out.size() >= kPiece) {
            m_sink(m_out);
            m_out.resize(0); // keeps its room
        }
    }

    // Hands on what is written so far (the frame's head) without closing the calendar.
    void flushHead()
    {
        m_sink(m_out);
        m_out.resize(0);
    }

    void finish()
    {
        if (m_frame != Frame::None)
            m_out += kCalendarEnd;
        m_sink(m_out);
        m_out.resize(0);
    }

private:
    static constexpr qsizetype kPiece = 256 * 1024;

    void startLine(const char* name)
    {
        m_line.resize(0);
        m_line += name;
    }

    const Sink& m_sink;
    QByteArray m_dtstamp;
    Frame m_frame;
    QByteArray m_out, m_line, m_summary, m_description, m_uid;
    // The card whose summary and amount m_summary and m_amount hold.
    int m_cardId = 0;
    double m_minRepayment = 0;
    QByteArray m_amount;
};

} // namespace

QByteArray text(const QList<Event>& events, const QDateTime& stamp, const QByteArray& source)
{
    QByteArray whole;
    whole.reserve(200 + events.size() * 420);
    writeText(events, stamp, source, [&whole](QByteArrayView piece) { whole.append(piece); });
    return whole;
}

void writeText(const QList<Event>& events, const QDateTime& stamp, const QByteArray& source, const Sink& sink)
{
    CalendarWriter writer(CalendarWriter::stampText(stamp), source, sink, CalendarWriter::Frame::File);
    for (const Event& e : events)
        writer.add(e);
    writer.finish();
}

namespace {

// The events of `cards` as they appear in the calendar, without its frame, in `out` (emptied
// first; its room is kept, so that no run of cards has to map fresh memory).
QByteArray eventsOf(std::span<const CardFacts> cards, const EventDays& days, const QByteArray& dtstamp,
                    QByteArray out)
{
    out.resize(0);
    out.reserve(qsizetype(cards.size()) * 700);
    const Sink sink = [&out](QByteArrayView piece) { out.append(piece); }; // outlives the writer
    CalendarWriter writer(dtstamp, {}, sink, CalendarWriter::Frame::None);
    forEachEvent(cards, days,
                 [&writer](const CardFacts& card, const EventDays::Day& day, double minRepayment) {
                     writer.add(card, day, minRepayment);
                 });
    writer.finish();
    return out;
}

} // namespace

void writeText(const QList<CardFacts>& cards, QDate today, const QDateTime& stamp, const QByteArray& source,
               const Sink& sink)
{
    const QByteArray dtstamp = CalendarWriter::stampText(stamp);
    const EventDays days(today);
    // Making the events' text is most of the work: runs of cards are made on worker threads, a
    // few runs ahead, and handed to the sink in order on this one (the same bytes as one writer
    // gives; a megabyte or two held at a time, in buffers that are used again).
    constexpr qsizetype kRun = 1024;
    const int workers = std::clamp(QThread::idealThreadCount(), 1, 4);
    // A small calendar, or one core: each run made when its turn comes, on this thread.
    const auto launch = workers > 1 && cards.size() > kRun ? std::launch::async : std::launch::deferred;
    {
        CalendarWriter head(dtstamp, source, sink, CalendarWriter::Frame::File);
        head.flushHead(); // the frame's head alone: finish() would close it
    }
    std::deque<std::future<QByteArray>> running;
    std::vector<QByteArray> spare; // buffers of runs handed on, for the next ones
    qsizetype next = 0;
    const auto startNext = [&] {
        const std::span<const CardFacts> run(cards.constData() + next,
                                             size_t(std::min(kRun, cards.size() - next)));
        next += qsizetype(run.size());
        QByteArray buffer;
        if (!spare.empty()) {
            buffer = std::move(spare.back());
            spare.pop_back();
        }
        running.push_back(
            std::async(launch, eventsOf, run, std::cref(days), std::cref(dtstamp), std::move(buffer)));
    };
    while (next < cards.size() && running.size() < size_t(2 * workers))
        startNext();
    while (!running.empty()) {
        QByteArray events = running.front().get();
        running.pop_front();
        sink(events);
        spare.push_back(std::move(events));
        if (next < cards.size())
            startNext();
    }
    sink(QByteArrayView(kCalendarEnd));
}

QByteArray eventText(const Event& event, const QDateTime& stamp)
{
    QByteArray out;
    const Sink sink = [&out](QByteArrayView piece) { out.append(piece); }; // outlives the writer
    CalendarWriter writer(CalendarWriter::stampText(stamp), {}, sink, CalendarWriter::Frame::Resource);
    writer.add(event);
    writer.finish();
    return out;
}

QByteArray sourceOf(const QList<CardFacts>& cards, QDate today)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData("calendar 1 ");
    hash.addData(today.toString(Qt::ISODate).toLatin1());
    // The fields of many cards go into one buffer, hashed in large pieces.
    std::vector<char> bytes(1 << 16);
    size_t used = 0;
    const auto add = [&](const void* data, size_t size) {
        if (used + size > bytes.size()) {
            hash.addData(QByteArrayView(bytes.data(), qsizetype(used)));
            used = 0;
        }
        if (size > bytes.size()) {
            hash.addData(QByteArrayView(static_cast<const char*>(data), qsizetype(size)));
            return;
        }
        std::memcpy(bytes.data() + used, data, size);
        used += size;
    };
    const auto addValue = [&](const auto& value) { add(&value, sizeof value); };
    const auto addText = [&](const QString& text) {
        addValue(text.size());
        add(text.constData(), size_t(text.size()) * sizeof(QChar));
    };
    for (const CardFacts& c : cards) {
        addValue(c.id);
        addText(c.name);
        addText(c.numberLast4);
        addValue(c.statementDay);
        addValue(c.repaymentDay);
        addValue(c.ratio);
        addValue(c.used);
        addValue(c.repaidMark);
        addValue(c.markMonth);
        addValue(c.markYear);
    }
    hash.addData(QByteArrayView(bytes.data(), qsizetype(used)));
    return hash.result().toHex();
}

bool fileMadeFrom(const QString& path, const QByteArray& source)
{
    QFile file(path);
    if (source.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(512);
    return head.contains("\r\n" + kSourceProperty + source + "\r\n");
}

QByteArray forCards(const QList<CardFacts>& cards, const Clock& clock)
{
    return text(events(cards, clock.today()), clock.now(), sourceOf(cards, clock.today()));
}

QByteArray forDatabase(Database& db, const Clock& clock)
{
    return forCards(readCardFacts(db), clock);
}

void writeFile(const QString& path, const QByteArray& calendar)
{
    SafeFile::write(path, calendar);
}

void writeFile(const QString& path, const QList<CardFacts>& cards, QDate today, const QDateTime& stamp,
               const QByteArray& source)
{
    SafeFile::Writer file(path);
    writeText(cards, today, stamp, source, [&file](QByteArrayView piece) { file.write(piece); });
    file.commit();
}

int runCommand(const HomeFolder& home, const Clock& clock, QIODevice& out, QTextStream& err)
{
    try {
        Database db;
        db.open(home.existingDatabasePath());
        const QList<CardFacts> cards = readCardFacts(db);
        writeText(cards, clock.today(), clock.now(), sourceOf(cards, clock.today()),
                  [&out](QByteArrayView piece) {
                      if (out.write(piece.data(), piece.size()) != piece.size())
                          throw Error(QStringLiteral("无法输出日历：%1").arg(out.errorString()));
                  });
        return 0;
    } catch (const Error& e) {
        err << QStringLiteral("velmora: ") << e.message() << '\n';
        return 1;
    }
}

} // namespace RepaymentCalendar
