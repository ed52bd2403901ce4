#include "store/AccountPassword.h"

#include "store/SecretStore.h"
#include "store/SettingKeys.h"

AccountPassword AccountPassword::mail()
{
    return {SettingKeys::smtpPassword, QStringLiteral("Velmora 邮件服务器密码")};
}

AccountPassword AccountPassword::calendar()
{
    return {SettingKeys::caldavPassword, QStringLiteral("Velmora 日历服务器密码")};
}

QString AccountPassword::inFile(const IniFile& file) const
{
    return Setting::text(file, m_key).trimmed();
}

AccountPassword::Found AccountPassword::find(const IniFile& file, const SecretStore& keyring) const
{
    Found found;
    found.password = inFile(file);
    if (!found.password.isEmpty()) {
        found.place = Place::SettingsFile;
        return found;
    }
    return fromKeyring(keyring);
}

AccountPassword::Found AccountPassword::fromKeyring(const SecretStore& keyring) const
{
    Found found;
    const SecretStore::Answer answer = keyring.lookup(keyringKey());
    if (answer.ok() && !answer.value.isEmpty()) {
        found.password = answer.value;
        found.place = Place::Keyring;
    } else if (answer.status == SecretStore::Status::NoService ||
               answer.status == SecretStore::Status::Failed) {
        found.keyringProblem = answer.message;
    }
    return found;
}

AccountPassword::Place AccountPassword::save(IniFile& file, const SecretStore& keyring,
                                             const QString& password) const
{
    const QString trimmed = password.trimmed();
    if (trimmed.isEmpty()) {
        keyring.clear(keyringKey());
        Setting::setText(file, m_key, QString());
        return Place::Nowhere;
    }
    if (keyring.store(keyringKey(), m_label, trimmed).ok()) {
        Setting::setText(file, m_key, QString());
        return Place::Keyring;
    }
    Setting::setText(file, m_key, trimmed);
    return Place::SettingsFile;
}

bool AccountPassword::moveToKeyring(IniFile& file, const SecretStore& keyring) const
{
    const QString password = inFile(file);
    if (password.isEmpty() || !keyring.store(keyringKey(), m_label, password).ok())
        return false;
    Setting::setText(file, m_key, QString());
    return true;
}

AccountPassword::Shown AccountPassword::forDialog(IniFile& file, const SecretStore& keyring) const
{
    moveToKeyring(file, keyring);
    Shown shown;
    shown.found = find(file, keyring);
    shown.keyringUnread = shown.found.place == Place::Nowhere && !shown.found.keyringProblem.isEmpty();
    shown.placeText = describe(shown.found.place, keyring.available());
    return shown;
}

QString AccountPassword::savedNote(Place place)
{
    return place == Place::Nowhere ? QString() : u'\n' + describe(place, false);
}

QString AccountPassword::describe(Place place, bool keyringRunning)
{
    switch (place) {
    case Place::Keyring:
        return QStringLiteral("密码保存在桌面的密钥环中。");
    case Place::SettingsFile:
        return keyringRunning ? QStringLiteral("密码保存在 System.ini 中（未加密）。")
                              : QStringLiteral("密码保存在 System.ini 中（未加密）：桌面没有可用的密钥环。");
    case Place::Nowhere:
        break;
    }
    return keyringRunning ? QStringLiteral("保存时密码将存入桌面的密钥环。")
                          : QStringLiteral("桌面没有可用的密钥环，保存时密码将写入 System.ini（未加密）。");
}
