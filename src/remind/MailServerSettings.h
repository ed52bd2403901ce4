#pragma once

#include "store/IniFile.h"

#include <QString>

// The mailbox the reminder mail is sent from: section "邮件服务器" of System.ini.
// The defaults name a placeholder server that has to be replaced before any mail can go out.
struct MailServerSettings
{
    enum class Security { None, StartTls, Ssl };

    static const QString kSection;         // "邮件服务器"
    static const QString kPlaceholderHost; // "smtp.example.com"

    QString host = kPlaceholderHost;                      // smtp_host
    int port = 25;                                        // smtp_port
    QString user = QStringLiteral("velmora@example.com"); // smtp_user
    QString password = QStringLiteral("k739204m");        // smtp_password
    QString from = QStringLiteral("velmora@example.com"); // smtp_from
    Security security = Security::None;                   // smtp_security: none | starttls | ssl
    QString unknownSecurity; // a smtp_security value we do not know, kept to report it

    // Reads the section, key by key, each value trimmed; missing keys keep the defaults.
    static MailServerSettings load(const IniFile& file);
    // Writes the six keys in the order above. Throws Error when the file cannot be written.
    void save(IniFile& file) const;

    static QString securityName(Security security); // "none", "starttls", "ssl"
    static int defaultPort(Security security);      // 25, 587, 465

    // Throws Error with a message in Chinese when mail cannot be sent with these values
    // (placeholder server, bad port, unusable sender address, unknown security).
    void validate() const;

    // "smtp://host:port" or "smtps://host:port".
    QString url() const;
};
