#pragma once

#include "remind/MailServerSettings.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>

// Sends one composed message over SMTP with libcurl: AUTH LOGIN when a user name is set,
// STARTTLS or implicit TLS as configured (never the password in clear when TLS was asked for),
// time-outs on connecting and on every server reply, one RCPT per recipient.
// send() blocks; it is meant to run off the user-interface thread.
class SmtpSender
{
public:
    struct Options
    {
        int connectTimeoutSeconds = 15;
        int responseTimeoutSeconds = 30;
        int attempts = 3;
    };

    struct Job
    {
        MailServerSettings server;
        QByteArray envelopeFrom;
        QList<QByteArray> recipients;
        QByteArray message; // headers and body, CRLF line ends
    };

    struct Result
    {
        bool ok = false;
        int attempts = 0;
        QString error; // why the last attempt failed, in Chinese, with the library's detail
    };

    explicit SmtpSender(Options options) : m_options(options) {}
    SmtpSender() : SmtpSender(Options{}) {}

    // `cancel`, when given and set, ends a running exchange at its next step.
    Result send(const Job& job, const std::atomic_bool* cancel = nullptr) const;

private:
    Options m_options;
};
