#include "store/Settings.h"

#include "store/PasswordHash.h"
#include "store/SettingKeys.h"

const QString Settings::kSection = QString::fromUtf16(SettingKeys::kSystem);
const QString Settings::kPasswordInKey = QStringLiteral("*card-key*");

QString Settings::password() const
{
    return Setting::text(m_ini, SettingKeys::password);
}

bool Settings::autostart() const
{
    return Setting::flag(m_ini, SettingKeys::autostart);
}

bool Settings::passwordProtect() const
{
    return Setting::flag(m_ini, SettingKeys::passwordProtect);
}

int Settings::autoMinMinutes() const
{
    return Setting::integer(m_ini, SettingKeys::autoMinMinutes);
}

QString Settings::mailTo() const
{
    return Setting::text(m_ini, SettingKeys::mailTo);
}

int Settings::daysAhead() const
{
    return Setting::integer(m_ini, SettingKeys::daysAhead);
}

bool Settings::mailOn() const
{
    return Setting::flag(m_ini, SettingKeys::mailOn);
}

QDate Settings::sendDate() const
{
    return Setting::date(m_ini, SettingKeys::sendDate);
}

bool Settings::passwordSet() const
{
    return !password().isEmpty();
}

bool Settings::passwordInKey() const
{
    return password() == kPasswordInKey;
}

bool Settings::startHidden() const
{
    return Setting::flag(m_ini, SettingKeys::startHidden);
}

bool Settings::checkPassword(const QString& typed) const
{
    const QString stored = password();
    if (stored == kPasswordInKey)
        return false;
    return PasswordHash::matches(stored, typed);
}

void Settings::savePassword(const QString& password)
{
    // No hash of the password is kept beside the card key: one cheaper to guess against would
    // make the key's derivation cost pointless. The empty password stays an empty value:
    // "首次登录密码为空" keeps its meaning.
    Setting::setText(m_ini, SettingKeys::password, password.isEmpty() ? QString() : kPasswordInKey);
}

void Settings::saveGeneral(bool autostart, bool passwordProtect, int autoMinMinutes)
{
    Setting::setFlag(m_ini, SettingKeys::autostart, autostart);
    Setting::setFlag(m_ini, SettingKeys::passwordProtect, passwordProtect);
    Setting::setInteger(m_ini, SettingKeys::autoMinMinutes, autoMinMinutes);
}

void Settings::saveReminder(const QString& mailTo, int daysAhead, bool mailOn)
{
    Setting::setText(m_ini, SettingKeys::mailTo, mailTo);
    Setting::setInteger(m_ini, SettingKeys::daysAhead, daysAhead);
    Setting::setFlag(m_ini, SettingKeys::mailOn, mailOn);
}

void Settings::saveSendDate(QDate date)
{
    Setting::setDate(m_ini, SettingKeys::sendDate, date);
}

void Settings::saveStartHidden(bool hidden)
{
    Setting::setFlag(m_ini, SettingKeys::startHidden, hidden);
}

QString Settings::keyMark() const
{
    return m_ini.readText(kSection, QStringLiteral("keymark")).trimmed();
}

void Settings::saveKeyMark(const QString& mark)
{
    if (mark != keyMark())
        m_ini.writeText(kSection, QStringLiteral("keymark"), mark);
}
