#include "sync/HttpTransport.h"

#include "net/CurlLibrary.h"

#include <QFile>

#include <cstring>

namespace {

size_t collectBody(char* data, size_t size, size_t count, void* userData)
{
    static_cast<QByteArray*>(userData)->append(data, qsizetype(size * count));
    return size * count;
}

size_t collectEtag(char* data, size_t size, size_t count, void* userData)
{
    const QByteArray line(data, qsizetype(size * count));
    if (line.startsWith("HTTP/"))
        static_cast<QByteArray*>(userData)->clear(); // a new answer (after 100 Continue)
    else if (line.toLower().startsWith("etag:"))
        *static_cast<QByteArray*>(userData) = line.mid(5).trimmed();
    return size * count;
}

int checkCancel(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* cancel = static_cast<const std::atomic_bool*>(userData);
    return cancel && cancel->load() ? 1 : 0;
}

HttpTransport::Failure failureOf(CURLcode code)
{
    using F = HttpTransport::Failure;
    switch (code) {
    case CURLE_OK:
        return F::None;
    case CURLE_COULDNT_RESOLVE_HOST:
        return F::UnknownHost;
    case CURLE_COULDNT_CONNECT:
        return F::CannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
        return F::Timeout;
    case CURLE_PEER_FAILED_VERIFICATION:
        return F::Certificate;
    case CURLE_SSL_CACERT_BADFILE:
        return F::CaFile;
    case CURLE_SSL_CONNECT_ERROR:
        return F::Tls;
    case CURLE_ABORTED_BY_CALLBACK:
        return F::Cancelled;
    default:
        return F::Other;
    }
}

} // namespace

HttpTransport::Response HttpTransport::perform(const Request& request) const
{
    Response response;
    const CurlLibrary& api = curlLibrary();
    CURL* handle = api.loaded ? api.easyInit() : nullptr;
    if (!handle) {
        response.failure = Failure::NoLibrary;
        return response;
    }
    const QByteArray url = request.url.toEncoded();
    const QByteArray user = m_options.user.toUtf8();
    const QByteArray password = m_options.password.toUtf8();
    const QByteArray caFile = QFile::encodeName(m_options.caFile);
    curl_slist* headers = nullptr;
    for (const QByteArray& header : request.headers)
        headers = api.slistAppend(headers, header.constData());
    if (!request.contentType.isEmpty())
        headers = api.slistAppend(headers, ("Content-Type: " + request.contentType).constData());
    headers = api.slistAppend(headers, "Expect:"); // no 100-continue round trip for small bodies
    char errorBuffer[CURL_ERROR_SIZE] = {};

    api.easySetopt(handle, CURLOPT_URL, url.constData());
    api.easySetopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    api.easySetopt(handle, CURLOPT_NOSIGNAL, 1L);
    api.easySetopt(handle, CURLOPT_ERRORBUFFER, errorBuffer);
    api.easySetopt(handle, CURLOPT_CONNECTTIMEOUT, long(m_options.connectTimeoutSeconds));
    api.easySetopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    api.easySetopt(handle, CURLOPT_LOW_SPEED_TIME, long(m_options.responseTimeoutSeconds));
    api.easySetopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    api.easySetopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile.isEmpty()) {
        // A private CA replaces the system's bundle; it does not add to it.
        api.easySetopt(handle, CURLOPT_CAINFO, caFile.constData());
        api.easySetopt(handle, CURLOPT_CAPATH, nullptr);
    }
    if (!user.isEmpty()) {
        api.easySetopt(handle, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        api.easySetopt(handle, CURLOPT_USERNAME, user.constData());
        api.easySetopt(handle, CURLOPT_PASSWORD, password.constData());
    }
    api.easySetopt(handle, CURLOPT_CUSTOMREQUEST, request.method.constData());
    if (!request.body.isEmpty() || request.method == "PUT") {
        api.easySetopt(handle, CURLOPT_POSTFIELDS, request.body.constData());
        api.easySetopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
    }
    api.easySetopt(handle, CURLOPT_HTTPHEADER, headers);
    api.easySetopt(handle, CURLOPT_WRITEFUNCTION, collectBody);
    api.easySetopt(handle, CURLOPT_WRITEDATA, &response.body);
    api.easySetopt(handle, CURLOPT_HEADERFUNCTION, collectEtag);
    api.easySetopt(handle, CURLOPT_HEADERDATA, &response.etag);
    api.easySetopt(handle, CURLOPT_XFERINFOFUNCTION, checkCancel);
    api.easySetopt(handle, CURLOPT_XFERINFODATA, const_cast<std::atomic_bool*>(m_options.cancel));
    api.easySetopt(handle, CURLOPT_NOPROGRESS, 0L);

    const CURLcode code = api.easyPerform(handle);
    api.easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &response.status);
    api.slistFreeAll(headers);
    api.easyCleanup(handle);
    response.failure = failureOf(code);
    if (code != CURLE_OK)
        response.detail = QString::fromUtf8(*errorBuffer ? errorBuffer : api.easyStrerror(code)).trimmed();
    return response;
}
