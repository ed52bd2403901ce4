#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real SMTP server for mail tests (tests/support/smtp_server.py on Debian's python3 with
// aiosmtpd): listens on 127.0.0.1, requires AUTH (LOGIN or PLAIN) with the given user and
// password, offers STARTTLS or TLS from the start when asked to, and keeps every accepted
// message. Started by start(), stopped by the destructor.
class SmtpServer
{
public:
    struct Options
    {
        QString user = QStringLiteral("reminder@velmora.test");
        QString password = QStringLiteral("s3cret-密码");
        int failData = 0; // answer the first n DATA commands with 451
        // "" (well-behaved), "drop-data" (hang up after the message, before replying),
        // "rcpt-4xx" (every RCPT answered 450), "no-auth" (no AUTH offered at all),
        // "data-554" (every message refused for good)
        QString fault;
        QString tls;      // "" (none), "starttls", "ssl"
        QString certFile; // PEM certificate and key for tls
        QString keyFile;
        bool plainOnly = false; // offer AUTH PLAIN but not LOGIN
        QString rejectRcpt;     // answer RCPT TO this address with 550
    };

    explicit SmtpServer(Options options);
    SmtpServer() : SmtpServer(Options{}) {}
    ~SmtpServer();
    SmtpServer(const SmtpServer&) = delete;
    SmtpServer& operator=(const SmtpServer&) = delete;

    bool start(); // false with errorString() when the server did not come up
    void stop();
    QString errorString() const { return m_error; }
    int port() const { return m_port; }
    const Options& options() const { return m_options; }
    // The settings file's section "邮件服务器" that sends through this server without TLS, with
    // its password or `password` when given.
    QString settingsSection(const QString& password = {}) const;

    int messageCount() const;
    // The n-th accepted message (0-based) read by Python's email package: from, to, subject,
    // charset, content_type, transfer_encoding, x_priority, importance, body, ... plus the
    // envelope as mail_from and rcpt_tos.
    QJsonObject message(int index) const;
    QByteArray rawMessage(int index) const;
    // One line per authentication attempt: "<mechanism> ok|denied", with " tls" when encrypted.
    QStringList authAttempts() const;
    int transactions() const; // MAIL FROM commands received

    // A port on 127.0.0.1 that nothing listens on right now.
    static int unusedPort();

private:
    Options m_options;
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
    QString m_error;
};

// A certificate authority made by the test itself (openssl), with server certificates it signs.
class TestCa
{
public:
    bool make(); // false with errorString()
    // Signs a certificate for `name` (an IP address or a host name) as <base>.pem and <base>.key.
    bool issue(const QString& base, const QString& name);
    QString caFile() const;
    QString certFile(const QString& base) const;
    QString keyFile(const QString& base) const;
    QString errorString() const { return m_error; }

private:
    bool openssl(const QStringList& arguments);

    QTemporaryDir m_dir;
    QString m_error;
};
