#include "sync/CalendarSync.h"

#include "store/Error.h"
#include "sync/HttpTransport.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

namespace CalendarSync {

namespace {

const QString kDav = QStringLiteral("DAV:");
const QString kCalDav = QStringLiteral("urn:ietf:params:xml:ns:caldav");

const QByteArray kPropfindBody =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<d:propfind xmlns:d=\"DAV:\"><d:prop><d:resourcetype/></d:prop></d:propfind>\n";
const QByteArray kQueryBody =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<c:calendar-query xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">"
    "<d:prop><d:getetag/><c:calendar-data/></d:prop>"
    "<c:filter><c:comp-filter name=\"VCALENDAR\"><c:comp-filter name=\"VEVENT\"/></c:comp-filter></c:filter>"
    "</c:calendar-query>\n";
const QByteArray kXml = "application/xml; charset=utf-8";
const QByteArray kCalendar = "text/calendar; charset=utf-8";

QString serverName(const QUrl& url)
{
    return url.port() > 0 ? QStringLiteral("%1:%2").arg(url.host()).arg(url.port()) : url.host();
}

// The one Chinese sentence for a request that got no usable answer.
[[noreturn]] void fail(const HttpTransport::Response& r, const QUrl& url)
{
    using F = HttpTransport::Failure;
    const QString where = serverName(url);
    switch (r.failure) {
    case F::None:
        break;
    case F::NoLibrary:
        throw Error(QStringLiteral("无法加载网络库（libcurl），不能同步日历。"));
    case F::UnknownHost:
        throw Error(QStringLiteral("找不到日历服务器 %1，请检查日历地址和网络连接。").arg(url.host()));
    case F::CannotConnect:
        throw Error(QStringLiteral("无法连接日历服务器 %1，请检查日历地址和网络连接。").arg(where));
    case F::Timeout:
        throw Error(QStringLiteral("日历服务器 %1 没有及时响应。").arg(where));
    case F::Certificate:
        throw Error(
            QStringLiteral("日历服务器 %1 的证书验证失败：证书不是受信任的机构签发的，或与服务器名称不符"
                           "（自建的服务器请在“日历同步…”中选择它的CA证书文件）。")
                .arg(url.host()));
    case F::CaFile:
        throw Error(
            QStringLiteral("无法读取证书，不能验证日历服务器 %1 的证书（请检查“日历同步…”中的CA证书文件，"
                           "或安装 ca-certificates）。")
                .arg(url.host()));
    case F::Tls:
        throw Error(QStringLiteral("与日历服务器 %1 建立加密连接失败。").arg(where));
    case F::Cancelled:
        throw Error(QStringLiteral("日历同步已取消。"));
    case F::Other:
        throw Error(QStringLiteral("与日历服务器 %1 通信失败（%2）。").arg(where, r.detail));
    }
    if (r.status == 401)
        throw Error(QStringLiteral("日历服务器拒绝登录，请检查用户名和密码。"));
    if (r.status == 403)
        throw Error(QStringLiteral("日历服务器不允许这个账户访问“%1”。").arg(url.toString()));
    if (r.status == 412)
        throw Error(QStringLiteral("日历中的还款事件在同步时被别处改动，下次同步时会再更新。"));
    throw Error(QStringLiteral("日历服务器 %1 拒绝了请求（答复代码%2）。").arg(where).arg(r.status));
}

[[noreturn]] void notACalendar(const QUrl& url)
{
    throw Error(QStringLiteral("“%1”不是日历：请填写日历本身的地址（CalDAV日历集合），"
                               "而不是账户或服务器的地址。")
                    .arg(url.toString()));
}

class Session
{
public:
    Session(const CalendarSyncSettings& settings, const std::atomic_bool* cancel)
        : m_collection(settings.collectionUrl()),
          m_http({settings.user, settings.password, settings.caFile, 20, 60, cancel}), m_cancel(cancel)
    {}

    const QUrl& collection() const { return m_collection; }

    HttpTransport::Response send(const QByteArray& method, const QUrl& url, QList<QByteArray> headers,
                                 const QByteArray& body = {}, const QByteArray& type = {})
    {
        if (m_cancel && m_cancel->load())
            throw Error(QStringLiteral("日历同步已取消。"));
        HttpTransport::Response r = m_http.perform({method, url, std::move(headers), body, type});
        if (r.failure != HttpTransport::Failure::None || r.status == 401)
            fail(r, url);
        return r;
    }

    void checkCollection()
    {
        const auto r = send("PROPFIND", m_collection, {"Depth: 0"}, kPropfindBody, kXml);
        if (r.status != 207) {
            if (r.status == 404 || r.status == 405 || (r.status >= 200 && r.status < 400))
                notACalendar(m_collection);
            fail(r, m_collection);
        }
        if (!isCalendarCollection(r.body))
            notACalendar(m_collection);
    }

    QList<Resource> listEvents()
    {
        const auto r = send("REPORT", m_collection, {"Depth: 1"}, kQueryBody, kXml);
        if (r.status != 207)
            fail(r, m_collection);
        return parseResources(r.body, m_collection);
    }

private:
    QUrl m_collection;
    HttpTransport m_http;
    const std::atomic_bool* m_cancel;
};

QByteArray unfolded(const QByteArray& text)
{
    QByteArray out = text;
    out.replace("\r\n ", "").replace("\r\n\t", "").replace("\n ", "").replace("\n\t", "");
    return out;
}

// The content lines of the first VEVENT (with its alarms), unfolded, without CR.
QList<QByteArray> eventLines(const QByteArray& calendarObject)
{
    QList<QByteArray> lines;
    bool inside = false;
    for (QByteArray line : unfolded(calendarObject).split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line == "BEGIN:VEVENT")
            inside = true;
        if (inside)
            lines << line;
        if (line == "END:VEVENT")
            break;
    }
    return lines;
}

bool okStatus(long status)
{
    return status >= 200 && status < 300;
}

} // namespace

bool isOwnUid(const QString& uid)
{
    static const QRegularExpression own(QStringLiteral("^velmora-card\\d+-\\d{8}@velmora$"));
    return own.match(uid).hasMatch();
}

QString resourceName(const QString& uid)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(uid)) + QStringLiteral(".ics");
}

QList<Resource> parseResources(const QByteArray& multistatus, const QUrl& base)
{
    QList<Resource> out;
    QXmlStreamReader xml(multistatus);
    Resource current;
    QByteArray etag, data;
    QString status;
    bool inResponse = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const auto ns = xml.namespaceUri();
            const auto name = xml.name();
            if (ns == kDav && name == u"response") {
                inResponse = true;
                current = Resource{};
            } else if (!inResponse) {
                continue;
            } else if (ns == kDav && name == u"href") {
                current.url = base.resolved(QUrl(xml.readElementText().trimmed()));
            } else if (ns == kDav && name == u"propstat") {
                etag.clear();
                data.clear();
                status.clear();
            } else if (ns == kDav && name == u"getetag") {
                etag = xml.readElementText().trimmed().toUtf8();
            } else if (ns == kCalDav && name == u"calendar-data") {
                data = xml.readElementText().toUtf8();
            } else if (ns == kDav && name == u"status") {
                status = xml.readElementText();
            }
        } else if (token == QXmlStreamReader::EndElement && inResponse) {
            const auto ns = xml.namespaceUri();
            const auto name = xml.name();
            if (ns == kDav && name == u"propstat" && status.contains(QStringLiteral(" 200")) &&
                !data.isEmpty()) {
                current.etag = etag;
                current.data = data;
            } else if (ns == kDav && name == u"response") {
                inResponse = false;
                if (!current.data.isEmpty() && current.url.isValid()) {
                    current.uid = uidOf(current.data);
                    out << current;
                }
            }
        }
    }
    if (xml.hasError())
        throw Error(QStringLiteral("日历服务器的答复无法识别（%1）。").arg(xml.errorString()));
    return out;
}

bool isCalendarCollection(const QByteArray& multistatus)
{
    QXmlStreamReader xml(multistatus);
    int resourceTypeDepth = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.namespaceUri() == kDav && xml.name() == u"resourcetype")
                ++resourceTypeDepth;
            else if (resourceTypeDepth > 0 && xml.namespaceUri() == kCalDav && xml.name() == u"calendar")
                return true;
        } else if (token == QXmlStreamReader::EndElement && xml.namespaceUri() == kDav &&
                   xml.name() == u"resourcetype") {
            --resourceTypeDepth;
        }
    }
    return false;
}

QString uidOf(const QByteArray& calendarObject)
{
    for (const QByteArray& line : eventLines(calendarObject))
        if (line.startsWith("UID:"))
            return QString::fromUtf8(line.mid(4)).trimmed();
    return {};
}

bool sameEvent(const QByteArray& ours, const QByteArray& theirs)
{
    const QList<QByteArray> theirLines = eventLines(theirs);
    const QSet<QByteArray> present(theirLines.cbegin(), theirLines.cend());
    for (const QByteArray& line : eventLines(ours))
        if (!line.startsWith("DTSTAMP:") && !present.contains(line))
            return false;
    return true;
}

void check(const CalendarSyncSettings& settings, const std::atomic_bool* cancel)
{
    settings.validate();
    Session session(settings, cancel);
    session.checkCollection();
    session.listEvents(); // the calendar answers a query, not only a PROPFIND
}

Report sync(const CalendarSyncSettings& settings, const QList<RepaymentCalendar::Event>& events,
            const QDateTime& stamp, const std::atomic_bool* cancel)
{
    settings.validate();
    Session session(settings, cancel);
    session.checkCollection();

    QHash<QString, Resource> ours;
    for (const Resource& r : session.listEvents())
        if (isOwnUid(r.uid) && !ours.contains(r.uid))
            ours.insert(r.uid, r);

    Report report;
    QSet<QString> wanted;
    for (const RepaymentCalendar::Event& event : events) {
        wanted.insert(event.uid);
        const QByteArray body = RepaymentCalendar::eventText(event, stamp);
        const auto found = ours.constFind(event.uid);
        if (found == ours.cend()) {
            const QUrl url = session.collection().resolved(QUrl(resourceName(event.uid)));
            const auto r = session.send("PUT", url, {"If-None-Match: *"}, body, kCalendar);
            if (!okStatus(r.status))
                fail(r, url);
            ++report.created;
        } else if (sameEvent(body, found->data)) {
            ++report.unchanged;
        } else {
            QList<QByteArray> headers;
            if (!found->etag.isEmpty())
                headers << "If-Match: " + found->etag;
            const auto r = session.send("PUT", found->url, headers, body, kCalendar);
            if (!okStatus(r.status))
                fail(r, found->url);
            ++report.updated;
        }
    }
    for (const Resource& resource : std::as_const(ours)) {
        if (wanted.contains(resource.uid))
            continue;
        QList<QByteArray> headers;
        if (!resource.etag.isEmpty())
            headers << "If-Match: " + resource.etag;
        const auto r = session.send("DELETE", resource.url, headers);
        if (!okStatus(r.status) && r.status != 404) // already gone is what was wanted
            fail(r, resource.url);
        ++report.deleted;
    }
    return report;
}

QString reportText(const Report& report)
{
    return QStringLiteral("日历已同步：新增%1个，更新%2个，删除%3个，未变%4个。")
        .arg(report.created)
        .arg(report.updated)
        .arg(report.deleted)
        .arg(report.unchanged);
}

} // namespace CalendarSync
