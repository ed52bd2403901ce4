#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <atomic>

// HTTP(S) requests for the calendar server through libcurl, loaded at the first request.
// Certificates and host names are always checked; a CA file replaces the system's roots.
class HttpTransport
{
public:
    struct Options
    {
        QString user;
        QString password;
        QString caFile; // PEM certificates trusted instead of the system's
        int connectTimeoutSeconds = 20;
        int responseTimeoutSeconds = 60; // no byte for this long: the server is not answering
        const std::atomic_bool* cancel = nullptr;
    };

    struct Request
    {
        QByteArray method; // "PROPFIND", "REPORT", "PUT", "DELETE"
        QUrl url;
        QList<QByteArray> headers; // "Depth: 1", "If-Match: \"abc\""
        QByteArray body;
        QByteArray contentType; // with a body
    };

    // Why no HTTP answer came.
    enum class Failure {
        None,
        NoLibrary,
        UnknownHost,
        CannotConnect,
        Timeout,
        Certificate,
        CaFile,
        Tls,
        Cancelled,
        Other
    };

    struct Response
    {
        Failure failure = Failure::None;
        QString detail; // libcurl's own words, for a log
        long status = 0;
        QByteArray body;
        QByteArray etag; // the ETag header, as sent
    };

    explicit HttpTransport(Options options) : m_options(std::move(options)) {}

    Response perform(const Request& request) const;

private:
    Options m_options;
};
