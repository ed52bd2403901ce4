#include "remind/MailPassword.h"

#include "remind/MailServerSettings.h"
#include "store/IniFile.h"
#include "store/SecretStore.h"

const QString MailPassword::kKey = QStringLiteral("smtp_password");

namespace {
const QString kLabel = QStringLiteral("Velmora 邮件服务器密码");

QString inFile(const IniFile& file)
{
    return file.readText(MailServerSettings::kSection, MailPassword::kKey).trimmed();
}
} // namespace

MailPassword::Found MailPassword::find(const IniFile& file, const SecretStore& keyring)
{
    Found found;
    found.password = inFile(file);
    if (!found.password.isEmpty()) {
        found.place = Place::SettingsFile;
        return found;
    }
    const SecretStore::Answer answer = keyring.lookup(kKey);
    if (answer.ok() && !answer.value.isEmpty()) {
        found.password = answer.value;
        found.place = Place::Keyring;
    } else if (answer.status == SecretStore::Status::NoService ||
               answer.status == SecretStore::Status::Failed) {
        found.keyringProblem = answer.message;
    }
    return found;
}

MailPassword::Place MailPassword::save(IniFile& file, const SecretStore& keyring, const QString& password)
{
    const QString trimmed = password.trimmed();
    if (trimmed.isEmpty()) {
        keyring.clear(kKey);
        file.writeText(MailServerSettings::kSection, kKey, QString());
        return Place::Nowhere;
    }
    if (keyring.store(kKey, kLabel, trimmed).ok()) {
        file.writeText(MailServerSettings::kSection, kKey, QString());
        return Place::Keyring;
    }
    file.writeText(MailServerSettings::kSection, kKey, trimmed);
    return Place::SettingsFile;
}

bool MailPassword::moveToKeyring(IniFile& file, const SecretStore& keyring)
{
    const QString password = inFile(file);
    if (password.isEmpty() || !keyring.store(kKey, kLabel, password).ok())
        return false;
    file.writeText(MailServerSettings::kSection, kKey, QString());
    return true;
}

QString MailPassword::describe(Place place, bool keyringRunning)
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
