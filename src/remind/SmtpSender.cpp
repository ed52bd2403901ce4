#include "remind/SmtpSender.h"

#include "net/CurlLibrary.h"

#include <QFile>
#include <QStringList>
#include <QSysInfo>

namespace {

#if CURL_AT_LEAST_VERSION(8, 2, 0)
constexpr CURLoption kRcptAllowFails = CURLOPT_MAIL_RCPT_ALLOWFAILS;
#else
constexpr CURLoption kRcptAllowFails = CURLOPT_MAIL_RCPT_ALLLOWFAILS; // spelled so before 8.2
#endif

struct Upload
{
    const QByteArray* data = nullptr;
    qsizetype offset = 0;
};

size_t readMessage(char* buffer, size_t size, size_t count, void* userData)
{
    auto* upload = static_cast<Upload*>(userData);
    const qsizetype left = upload->data->size() - upload->offset;
    const qsizetype n = std::min<qsizetype>(left, qsizetype(size * count));
    if (n <= 0)
        return 0;
    memcpy(buffer, upload->data->constData() + upload->offset, size_t(n));
    upload->offset += n;
    return size_t(n);
}

int checkCancel(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* cancel = static_cast<const std::atomic_bool*>(userData);
    return cancel && cancel->load() ? 1 : 0;
}

// What the server said, read from the exchange as it goes: the login mechanisms offered in the
// last EHLO reply and the recipients refused (libcurl reports neither by itself).
struct Trace
{
    bool authOffered = false;
    QList<QByteArray> mechanisms; // upper case
    QByteArray pendingRcpt;       // the RCPT TO whose reply is still to come
    QStringList rejected;         // "a@b.cn（550 No such user）"
    QStringList rejectedShown;    // "a@b.cn（550）"
};

int traceExchange(CURL*, curl_infotype type, char* data, size_t size, void* userData)
{
    auto* trace = static_cast<Trace*>(userData);
    const QByteArray text(data, qsizetype(size));
    if (type == CURLINFO_HEADER_OUT) {
        if (text.startsWith("EHLO ")) {
            // After STARTTLS the server lists its mechanisms again; only the last list counts.
            trace->authOffered = false;
            trace->mechanisms.clear();
        } else if (text.startsWith("RCPT TO:")) {
            const qsizetype open = text.indexOf('<');
            const qsizetype close = text.indexOf('>', open + 1);
            trace->pendingRcpt =
                open >= 0 && close > open ? text.mid(open + 1, close - open - 1) : QByteArray();
        }
        return 0;
    }
    if (type != CURLINFO_HEADER_IN)
        return 0;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (line.size() < 3)
            continue;
        const int code = line.left(3).toInt();
        const bool last = line.size() == 3 || line[3] == ' ';
        const QByteArray extension = line.mid(4).toUpper();
        if (code == 250 && (extension.startsWith("AUTH ") || extension.startsWith("AUTH="))) {
            trace->authOffered = true;
            for (const QByteArray& word : extension.mid(5).split(' '))
                if (!word.isEmpty())
                    trace->mechanisms << word;
        }
        if (last && !trace->pendingRcpt.isEmpty()) {
            if (code >= 400) {
                const QString address = QString::fromLatin1(trace->pendingRcpt);
                trace->rejected << QStringLiteral("%1（%2）").arg(address, QString::fromUtf8(line));
                trace->rejectedShown << QStringLiteral("%1（%2）").arg(address).arg(code);
            }
            trace->pendingRcpt.clear();
        }
    }
    return 0;
}

// Only what may pass later is tried again: a lost connection or a 4xx reply. A 5xx reply, a
// refused login, a server that is not there or not answering, and every TLS fault are final.
bool mayPassLater(CURLcode code, long reply)
{
    if (code == CURLE_OPERATION_TIMEDOUT || code == CURLE_ABORTED_BY_CALLBACK)
        return false;
    if (reply >= 500)
        return false;
    if (reply >= 400)
        return true;
    switch (code) {
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
        return true;
    default:
        return false;
    }
}

// What went wrong: a Chinese sentence for the user, and the library's and server's own words
// (English) for the log only.
struct Failure
{
    QString text;
    QString detail;
};

Failure describe(CURLcode code, const char* detail, long reply, const SmtpSender::Job& job,
                 const SmtpSender::Options& o, const QStringList& rejectedShown, const QStringList& rejected)
{
    const QString where = QStringLiteral("%1:%2").arg(job.server.host).arg(job.server.port);
    QString text;
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        text = QStringLiteral("找不到邮件服务器 %1").arg(job.server.host);
        break;
    case CURLE_COULDNT_CONNECT:
        text = QStringLiteral("无法连接邮件服务器 %1").arg(where);
        break;
    case CURLE_OPERATION_TIMEDOUT:
        text = QStringLiteral("邮件服务器 %1 没有及时响应（连接限时%2秒，应答限时%3秒）")
                   .arg(where)
                   .arg(o.connectTimeoutSeconds)
                   .arg(o.responseTimeoutSeconds);
        break;
    case CURLE_LOGIN_DENIED:
        text = QStringLiteral("邮件服务器拒绝登录，请检查用户名和密码");
        break;
    case CURLE_USE_SSL_FAILED:
        text = QStringLiteral("邮件服务器 %1 不支持加密连接（STARTTLS），为保护密码没有发送").arg(where);
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
        text = QStringLiteral("邮件服务器 %1 的证书验证失败：证书不是受信任的机构签发的，或与服务器名称不符"
                              "（自建的邮件服务器请在“邮件服务器…”中选择它的CA证书文件）")
                   .arg(job.server.host);
        break;
    case CURLE_SSL_CACERT_BADFILE:
        // Without a file of our own the system's root certificates are used; a machine may lack them.
        text = job.server.caFile.isEmpty()
                   ? QStringLiteral("无法读取系统的根证书，不能验证邮件服务器 %1 的证书"
                                    "（请安装 ca-certificates，或在“邮件服务器…”中选择CA证书文件）")
                         .arg(job.server.host)
                   : QStringLiteral("无法读取证书文件“%1”").arg(job.server.caFile);
        break;
    case CURLE_SSL_CONNECT_ERROR:
        text = QStringLiteral("与邮件服务器 %1 建立加密连接失败").arg(where);
        break;
    case CURLE_ABORTED_BY_CALLBACK:
        text = QStringLiteral("发送已取消");
        break;
    default:
        if (!rejectedShown.isEmpty())
            text = QStringLiteral("邮件服务器 %1 拒收了全部收件人：%2")
                       .arg(where, rejectedShown.join(QStringLiteral("，")));
        else if (reply > 0)
            text = QStringLiteral("邮件服务器 %1 没有接受这封邮件（答复代码%2）").arg(where).arg(reply);
        else
            text = QStringLiteral("邮件服务器 %1 没有接受这封邮件").arg(where);
        break;
    }
    QString why = QString::fromUtf8(detail && *detail ? detail : curlLibrary().easyStrerror(code)).trimmed();
    if (reply > 0 && !why.contains(QString::number(reply)))
        why += QStringLiteral("; reply %1").arg(reply);
    if (!rejected.isEmpty())
        why += QStringLiteral("; ") + rejected.join(QStringLiteral(", "));
    return {text, why};
}

QByteArray localHostName()
{
    // Introduced in EHLO; fall back to a neutral name when ours is not a plain host name.
    const QByteArray name = QSysInfo::machineHostName().toLatin1();
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '-' || c == '.';
        if (!ok)
            return "localhost";
    }
    return name.isEmpty() ? QByteArrayLiteral("localhost") : name;
}

} // namespace

namespace {

enum class Login { Login, Plain, None };

struct Exchange
{
    CURLcode code = CURLE_OK;
    long reply = 0;
    Trace trace;
    Failure failure;
};

} // namespace

SmtpSender::Result SmtpSender::send(const Job& job, const std::atomic_bool* cancel) const
{
    const CurlLibrary& api = curlLibrary();
    Result result;
    if (job.recipients.isEmpty()) {
        result.error = QStringLiteral("没有收件人");
        return result;
    }
    const QByteArray url = job.server.url().toUtf8() + '/' + localHostName();
    const QByteArray user = job.server.user.toUtf8();
    const QByteArray password = job.server.password.toUtf8();
    const QByteArray caFile = QFile::encodeName(job.server.caFile);
    const QByteArray from = '<' + job.envelopeFrom + '>';
    Login login = user.isEmpty() ? Login::None : Login::Login;

    auto perform = [&](Exchange& x) {
        CURL* curl = api.loaded ? api.easyInit() : nullptr;
        if (!curl) {
            x.code = CURLE_FAILED_INIT;
            return;
        }
        char errorBuffer[CURL_ERROR_SIZE] = {};
        curl_slist* rcpt = nullptr;
        for (const QByteArray& r : job.recipients)
            rcpt = api.slistAppend(rcpt, ('<' + r + '>').constData());
        Upload upload{&job.message, 0};

        api.easySetopt(curl, CURLOPT_URL, url.constData());
        api.easySetopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
        api.easySetopt(curl, CURLOPT_NOSIGNAL, 1L);
        api.easySetopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
        api.easySetopt(curl, CURLOPT_CONNECTTIMEOUT, long(m_options.connectTimeoutSeconds));
        api.easySetopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(m_options.responseTimeoutSeconds));
        // A server that stops reading our data mid-message counts as not answering.
        api.easySetopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        api.easySetopt(curl, CURLOPT_LOW_SPEED_TIME, long(m_options.responseTimeoutSeconds));
        // STARTTLS whenever offered; required unless the user chose "none" for a server without TLS.
        if (job.server.security != MailServerSettings::Security::Ssl)
            api.easySetopt(curl, CURLOPT_USE_SSL,
                           long(job.server.security == MailServerSettings::Security::None ? CURLUSESSL_TRY
                                                                                          : CURLUSESSL_ALL));
        api.easySetopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        api.easySetopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!caFile.isEmpty()) {
            // A private CA replaces the system's bundle; it does not add to it.
            api.easySetopt(curl, CURLOPT_CAINFO, caFile.constData());
            api.easySetopt(curl, CURLOPT_CAPATH, nullptr);
        }
        if (login != Login::None) {
            api.easySetopt(curl, CURLOPT_USERNAME, user.constData());
            api.easySetopt(curl, CURLOPT_PASSWORD, password.constData());
            api.easySetopt(curl, CURLOPT_LOGIN_OPTIONS, login == Login::Login ? "AUTH=LOGIN" : "AUTH=PLAIN");
        }
        api.easySetopt(curl, CURLOPT_MAIL_FROM, from.constData());
        api.easySetopt(curl, CURLOPT_MAIL_RCPT, rcpt);
        // One refused recipient does not keep the mail from the others.
        api.easySetopt(curl, kRcptAllowFails, 1L);
        api.easySetopt(curl, CURLOPT_UPLOAD, 1L);
        api.easySetopt(curl, CURLOPT_READFUNCTION, readMessage);
        api.easySetopt(curl, CURLOPT_READDATA, &upload);
        api.easySetopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(job.message.size()));
        api.easySetopt(curl, CURLOPT_XFERINFOFUNCTION, checkCancel);
        api.easySetopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic_bool*>(cancel));
        api.easySetopt(curl, CURLOPT_NOPROGRESS, 0L);
        api.easySetopt(curl, CURLOPT_DEBUGFUNCTION, traceExchange);
        api.easySetopt(curl, CURLOPT_DEBUGDATA, &x.trace);
        api.easySetopt(curl, CURLOPT_VERBOSE, 1L); // feeds traceExchange only; nothing is printed

        x.code = api.easyPerform(curl);
        api.easyGetinfo(curl, CURLINFO_RESPONSE_CODE, &x.reply);
        api.slistFreeAll(rcpt);
        api.easyCleanup(curl);
        if (x.code != CURLE_OK)
            x.failure = describe(x.code, errorBuffer, x.reply, job, m_options, x.trace.rejectedShown,
                                 x.trace.rejected);
    };

    for (int attempt = 1; attempt <= std::max(1, m_options.attempts); ++attempt) {
        result.attempts = attempt;
        Exchange x;
        perform(x);
        if (x.code == CURLE_FAILED_INIT) {
            result.error = QStringLiteral("无法初始化邮件发送");
            return result;
        }
        if (x.code == CURLE_LOGIN_DENIED && login == Login::Login && x.trace.authOffered &&
            !x.trace.mechanisms.contains("LOGIN")) {
            // The server offers no LOGIN: PLAIN if it has that, else no login at all. Nothing was
            // sent yet, so this is still the same attempt.
            login = x.trace.mechanisms.contains("PLAIN") ? Login::Plain : Login::None;
            x = Exchange{};
            perform(x);
        }
        if (x.code == CURLE_OK) {
            result.ok = true;
            result.error.clear();
            result.detail.clear();
            result.rejected = x.trace.rejected;
            result.rejectedShown = x.trace.rejectedShown;
            return result;
        }
        result.error = x.failure.text;
        result.detail = x.failure.detail;
        if (!mayPassLater(x.code, x.reply) || (cancel && cancel->load()))
            break;
    }
    return result;
}
