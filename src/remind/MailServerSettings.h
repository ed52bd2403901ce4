#pragma once

#include "store/IniFile.h"

#include <QString>

// The mailbox the reminder mail is sent from: section "邮件服务器" of System.ini.
// Nothing is filled in until the user does: no server, no account. Without smtp_security the
// connection must be encrypted (STARTTLS).
struct MailServerSettings
{
    enum class Security { None, StartTls, Ssl };

    static const QString kSection;         // "邮件服务器"
    static const QString kPlaceholderHost; // "smtp.example.com", what older versions offered

    QString host;                           // smtp_host
    int port = 587;                         // smtp_port, by default the one of the security
    QString user;                           // smtp_user
    QString password;                       // smtp_password
    QString from;                           // smtp_from
    Security security = Security::StartTls; // smtp_security: none | starttls | ssl
    QString caFile;                         // smtp_ca_file: PEM certificates trusted instead of the system's
    QString unknownSecurity;                // a smtp_security value we do not know, kept to report it

    // Reads the section, key by key, each value trimmed; missing keys keep the defaults.
    static MailServerSettings load(const IniFile& file);
    // Writes the seven keys in the order above. Throws Error when the file cannot be written.
    void save(IniFile& file) const;

    static QString securityName(Security security); // "none", "starttls", "ssl"
    static int defaultPort(Security security);      // 25, 587, 465

    // A server has been entered (not empty, not the old placeholder).
    bool configured() const;

    // Throws Error with a message in Chinese when mail cannot be sent with these values
    // (no server, bad port, unusable sender address, unknown security, unreadable CA file).
    void validate() const;

    // Whether the login password may cross the network in clear: no encryption asked for, a
    // login to give, and a server that is not this machine.
    bool passwordMayGoInClear() const;

    // "smtp://host:port" or "smtps://host:port".
    QString url() const;
};
