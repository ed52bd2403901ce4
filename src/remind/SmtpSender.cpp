#include "remind/SmtpSender.h"

#include <QSysInfo>
#include <curl/curl.h>
#include <mutex>

namespace {

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

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

// Failures another try at once cannot mend: the server is not there, refuses the login or
// lacks the encryption we insist on. They end the attempts right away.
bool isFinal(CURLcode code)
{
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_LOGIN_DENIED:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_ABORTED_BY_CALLBACK:
        return true;
    default:
        return false;
    }
}

QString describe(CURLcode code, const char* detail, long reply, const SmtpSender::Job& job,
                 const SmtpSender::Options& o)
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
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
        text = QStringLiteral("与邮件服务器 %1 建立加密连接失败").arg(where);
        break;
    case CURLE_ABORTED_BY_CALLBACK:
        text = QStringLiteral("发送已取消");
        break;
    default:
        text = QStringLiteral("邮件服务器 %1 没有接受这封邮件").arg(where);
        break;
    }
    QString why = QString::fromUtf8(detail && *detail ? detail : curl_easy_strerror(code)).trimmed();
    if (reply > 0 && !why.contains(QString::number(reply)))
        why += QStringLiteral("; reply %1").arg(reply);
    return QStringLiteral("%1（%2）").arg(text, why);
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

SmtpSender::Result SmtpSender::send(const Job& job, const std::atomic_bool* cancel) const
{
    initCurlOnce();
    Result result;
    if (job.recipients.isEmpty()) {
        result.error = QStringLiteral("没有收件人");
        return result;
    }
    const QByteArray url = job.server.url().toUtf8() + '/' + localHostName();
    const QByteArray user = job.server.user.toUtf8();
    const QByteArray password = job.server.password.toUtf8();
    const QByteArray from = '<' + job.envelopeFrom + '>';

    for (int attempt = 1; attempt <= std::max(1, m_options.attempts); ++attempt) {
        result.attempts = attempt;
        CURL* curl = curl_easy_init();
        if (!curl) {
            result.error = QStringLiteral("无法初始化邮件发送");
            return result;
        }
        char errorBuffer[CURL_ERROR_SIZE] = {};
        curl_slist* rcpt = nullptr;
        for (const QByteArray& r : job.recipients)
            rcpt = curl_slist_append(rcpt, ('<' + r + '>').constData());
        Upload upload{&job.message, 0};

        curl_easy_setopt(curl, CURLOPT_URL, url.constData());
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, long(m_options.connectTimeoutSeconds));
        curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(m_options.responseTimeoutSeconds));
        // A server that stops reading our data mid-message counts as not answering.
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, long(m_options.responseTimeoutSeconds));
        if (job.server.security == MailServerSettings::Security::StartTls)
            curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        if (!user.isEmpty()) {
            curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
            curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
            curl_easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
        }
        curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
        curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, readMessage);
        curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
        curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(job.message.size()));
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, checkCancel);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic_bool*>(cancel));
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);

        const CURLcode code = curl_easy_perform(curl);
        long reply = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply);
        curl_slist_free_all(rcpt);
        curl_easy_cleanup(curl);
        if (code == CURLE_OK) {
            result.ok = true;
            result.error.clear();
            return result;
        }
        result.error = describe(code, errorBuffer, reply, job, m_options);
        if (isFinal(code) || (cancel && cancel->load()))
            break;
    }
    return result;
}
