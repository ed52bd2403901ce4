#include "sync/CalendarSyncSettings.h"

#include "store/Error.h"
#include "store/SettingKeys.h"
#include "store/Settings.h"

#include <QFile>
#include <QHostAddress>

const QString CalendarSyncSettings::kSection = QString::fromUtf16(SettingKeys::kCalendarSync);

namespace {

bool isThisMachine(const QString& host)
{
    const QString name = host.toLower();
    if (name == u"localhost" || name.endsWith(u".localhost"))
        return true;
    const QHostAddress address(name.startsWith(u'[') ? name.mid(1, name.size() - 2) : name);
    return !address.isNull() && address.isLoopback();
}
} // namespace

CalendarSyncSettings CalendarSyncSettings::load(const Settings& settings)
{
    const IniFile& file = settings.file();
    CalendarSyncSettings s;
    s.url = Setting::text(file, SettingKeys::caldavUrl).trimmed();
    s.user = Setting::text(file, SettingKeys::caldavUser).trimmed();
    s.password = Setting::text(file, SettingKeys::caldavPassword).trimmed();
    s.caFile = Setting::text(file, SettingKeys::caldavCaFile).trimmed();
    return s;
}

void CalendarSyncSettings::withKeyringPassword(const SecretStore& keyring)
{
    if (!password.isEmpty() || user.isEmpty())
        return;
    const AccountPassword::Found found = AccountPassword::calendar().fromKeyring(keyring);
    password = found.password;
    if (password.isEmpty() && !found.keyringProblem.isEmpty())
        throw Error(QStringLiteral("System.ini 中没有日历服务器的密码，桌面的密钥环现在无法读取（%1）。")
                        .arg(found.keyringProblem));
}

AccountPassword::Place CalendarSyncSettings::save(Settings& settings, const SecretStore* keyring) const
{
    IniFile& file = settings.file();
    Setting::setText(file, SettingKeys::caldavUrl, url.trimmed());
    Setting::setText(file, SettingKeys::caldavUser, user.trimmed());
    Setting::setText(file, SettingKeys::caldavCaFile, caFile.trimmed());
    if (!keyring)
        return AccountPassword::Place::Nowhere;
    const AccountPassword::Place place = AccountPassword::calendar().save(file, *keyring, password);
    if (place == AccountPassword::Place::SettingsFile) {
        // The file now holds an account password: whatever mode it had, only its owner may read it.
        const QString path = file.path();
        const QFileDevice::Permissions mode = QFile::permissions(path);
        const QFileDevice::Permissions ownerOnly = mode & (QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                           QFileDevice::ReadUser | QFileDevice::WriteUser);
        if (mode != ownerOnly)
            QFile::setPermissions(path, ownerOnly);
    }
    return place;
}

void CalendarSyncSettings::validate() const
{
    if (!configured())
        throw Error(QStringLiteral("尚未设置日历同步，请在“系统设置”中点击“日历同步…”填写日历地址。"));
    const QUrl u = collectionUrl();
    const QString scheme = u.scheme().toLower();
    if (!u.isValid() || u.host().isEmpty() || (scheme != u"https" && scheme != u"http") ||
        !u.query().isEmpty() || !u.fragment().isEmpty())
        throw Error(QStringLiteral("日历地址“%1”无效，应为 https:// 开头的日历网址。").arg(url));
    if (!u.userInfo().isEmpty())
        throw Error(QStringLiteral("日历地址中不能含有用户名或密码，请分别填写。"));
    // Unencrypted only to a server on this machine: the password would cross the network in clear.
    if (scheme == u"http" && !isThisMachine(u.host()))
        throw Error(
            QStringLiteral("日历地址“%1”未加密（http），密码会以明文经网络发送；请使用 https:// 地址。")
                .arg(url));
    if (user.contains(u':') || user.contains(u'\r') || user.contains(u'\n') || password.contains(u'\r') ||
        password.contains(u'\n'))
        throw Error(QStringLiteral("日历同步的用户名中不能含有冒号，用户名和密码中不能含有换行。"));
    if (!caFile.isEmpty()) {
        QFile pem(caFile);
        if (!pem.open(QIODevice::ReadOnly) || !pem.peek(4096).contains("-----BEGIN CERTIFICATE-----"))
            throw Error(QStringLiteral("证书文件“%1”无法读取或不是PEM格式的证书。").arg(caFile));
    }
}

QUrl CalendarSyncSettings::collectionUrl() const
{
    QUrl u(url.trimmed(), QUrl::StrictMode);
    if (u.isValid() && !u.path().endsWith(u'/'))
        u.setPath(u.path() + u'/');
    return u;
}
