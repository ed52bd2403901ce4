#include "remind/MailServerSettings.h"

#include "remind/MailMessage.h"
#include "store/Error.h"
#include "store/SettingKeys.h"

#include <QFile>
#include <QHostAddress>
#include <QSysInfo>

const QString MailServerSettings::kSection = QString::fromUtf16(SettingKeys::kMailServer);
const QString MailServerSettings::kPlaceholderHost = QStringLiteral("smtp.example.com");

MailServerSettings MailServerSettings::load(const IniFile& file)
{
    MailServerSettings s;
    s.host = Setting::text(file, SettingKeys::smtpHost).trimmed();
    s.user = Setting::text(file, SettingKeys::smtpUser).trimmed();
    s.password = Setting::text(file, SettingKeys::smtpPassword).trimmed();
    s.from = Setting::text(file, SettingKeys::smtpFrom).trimmed();
    // Absent or empty means the encrypted default; "none" is only ever what the user chose.
    const QString security = Setting::text(file, SettingKeys::smtpSecurity).trimmed().toLower();
    if (security == QStringLiteral("none"))
        s.security = Security::None;
    else if (security.isEmpty())
        s.security = Security::StartTls;
    else if (security == QStringLiteral("starttls"))
        s.security = Security::StartTls;
    else if (security == QStringLiteral("ssl"))
        s.security = Security::Ssl;
    else
        s.unknownSecurity = security;
    const int port = Setting::integer(file, SettingKeys::smtpPort);
    s.port = port != 0 ? port : defaultPort(s.security);
    s.caFile = Setting::text(file, SettingKeys::smtpCaFile).trimmed();
    return s;
}

void MailServerSettings::save(IniFile& file) const
{
    Setting::setText(file, SettingKeys::smtpHost, host.trimmed());
    Setting::setInteger(file, SettingKeys::smtpPort, port);
    Setting::setText(file, SettingKeys::smtpUser, user.trimmed());
    Setting::setText(file, SettingKeys::smtpPassword, password.trimmed());
    Setting::setText(file, SettingKeys::smtpFrom, from.trimmed());
    Setting::setText(file, SettingKeys::smtpSecurity, securityName(security));
    Setting::setText(file, SettingKeys::smtpCaFile, caFile.trimmed());
    // The file now holds a mail password: whatever mode it had, only its owner may read it.
    const QFileDevice::Permissions mode = QFile::permissions(file.path());
    const QFileDevice::Permissions ownerOnly = mode & (QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                       QFileDevice::ReadUser | QFileDevice::WriteUser);
    if (mode != ownerOnly)
        QFile::setPermissions(file.path(), ownerOnly);
}

QString MailServerSettings::securityName(Security security)
{
    switch (security) {
    case Security::StartTls:
        return QStringLiteral("starttls");
    case Security::Ssl:
        return QStringLiteral("ssl");
    case Security::None:
        break;
    }
    return QStringLiteral("none");
}

int MailServerSettings::defaultPort(Security security)
{
    switch (security) {
    case Security::StartTls:
        return 587;
    case Security::Ssl:
        return 465;
    case Security::None:
        break;
    }
    return 25;
}

bool MailServerSettings::configured() const
{
    return !host.isEmpty() && host != kPlaceholderHost;
}

void MailServerSettings::validate() const
{
    if (!configured())
        throw Error(
            QStringLiteral("尚未设置发送提醒邮件的邮件服务器，请在“系统设置”中点击“邮件服务器…”填写。"));
    for (QChar c : host) {
        if (c.unicode() <= 32 || c == u'/' || c == u'@' || c == u'?' || c == u'#')
            throw Error(QStringLiteral("邮件服务器地址“%1”无效。").arg(host));
    }
    if (port < 1 || port > 65535)
        throw Error(QStringLiteral("邮件服务器端口%1无效，应在1到65535之间。").arg(port));
    if (!unknownSecurity.isEmpty())
        throw Error(QStringLiteral("邮件服务器的加密方式“%1”无效，应为 none、starttls 或 ssl。")
                        .arg(unknownSecurity));
    if (user.contains(u'\r') || user.contains(u'\n') || password.contains(u'\r') || password.contains(u'\n'))
        throw Error(QStringLiteral("邮件服务器的用户名和密码中不能含有换行。"));
    if (from.isEmpty())
        throw Error(QStringLiteral("尚未填写发件人Email，请在“系统设置”中点击“邮件服务器…”填写。"));
    (void)Mail::parseAddress(from);
    if (!caFile.isEmpty()) {
        QFile pem(caFile);
        if (!pem.open(QIODevice::ReadOnly) || !pem.peek(4096).contains("-----BEGIN CERTIFICATE-----"))
            throw Error(QStringLiteral("证书文件“%1”无法读取或不是PEM格式的证书。").arg(caFile));
    }
}

QString MailServerSettings::url() const
{
    const QString scheme = security == Security::Ssl ? QStringLiteral("smtps") : QStringLiteral("smtp");
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host; // IPv6 literal
    return QStringLiteral("%1://%2:%3").arg(scheme, shownHost).arg(port);
}

bool MailServerSettings::passwordMayGoInClear() const
{
    if (security != Security::None || user.isEmpty())
        return false;
    const QString name = host.toLower();
    if (name == u"localhost" || name.endsWith(u".localhost") || name == QSysInfo::machineHostName().toLower())
        return false;
    const QHostAddress address(name.startsWith(u'[') ? name.mid(1, name.size() - 2) : name);
    return address.isNull() || !address.isLoopback();
}
