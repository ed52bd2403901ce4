#pragma once

#include "remind/MailServerSettings.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>

// Sends one composed message over SMTP with libcurl. With a user name it logs in with AUTH LOGIN
// when the server offers it, else PLAIN, else not at all. STARTTLS is used whenever the server
// offers it and required unless the security is "none"; "ssl" is TLS from the first byte.
// Certificates and host names are always checked (against smtp_ca_file when set). Time-outs on
// connecting and on every reply; a recipient the server refuses does not stop the others.
// Only what may pass later (a lost connection, a 4xx reply) is tried again.
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
        QString error;  // why the last attempt failed: one Chinese sentence, for the user
        QString detail; // the library's and the server's own words about it, for the log
        // Recipients the server refused while the mail went to the others, with its reply for
        // the log ("a@b.cn（550 No such user）") and with its reply code for the user ("a@b.cn（550）").
        QStringList rejected;
        QStringList rejectedShown;
    };

    explicit SmtpSender(Options options) : m_options(options) {}
    SmtpSender() : SmtpSender(Options{}) {}

    // `cancel`, when given and set, ends a running exchange at its next step.
    Result send(const Job& job, const std::atomic_bool* cancel = nullptr) const;

private:
    Options m_options;
};
