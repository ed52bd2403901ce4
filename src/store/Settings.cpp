#include "store/Settings.h"

#include "store/PasswordHash.h"

#include <algorithm>

const QString Settings::kSection = QStringLiteral("系统设置");
const QString Settings::kPasswordInKey = QStringLiteral("*card-key*");

QString Settings::password() const
{
    return m_ini.readText(kSection, QStringLiteral("pd"));
}

bool Settings::autostart() const
{
    return m_ini.readBool(kSection, QStringLiteral("root"), false);
}

bool Settings::passwordProtect() const
{
    return m_ini.readBool(kSection, QStringLiteral("pdtf"), true);
}

int Settings::autoMinMinutes() const
{
    // A hand-edited value outside what the settings page offers is bounded, not wrapped.
    return std::clamp(m_ini.readInt(kSection, QStringLiteral("zxf"), 0), 0, 1440);
}

QString Settings::mailTo() const
{
    return m_ini.readText(kSection, QStringLiteral("em"));
}

int Settings::daysAhead() const
{
    return m_ini.readInt(kSection, QStringLiteral("dd"), 0);
}

bool Settings::mailOn() const
{
    return m_ini.readBool(kSection, QStringLiteral("qy"), false);
}

QDate Settings::sendDate() const
{
    return m_ini.readDate(kSection, QStringLiteral("senddate"), QDate(1990, 1, 1));
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
    return m_ini.readBool(kSection, QStringLiteral("starthidden"), false);
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
    m_ini.writeText(kSection, QStringLiteral("pd"), password.isEmpty() ? QString() : kPasswordInKey);
}

void Settings::saveGeneral(bool autostart, bool passwordProtect, int autoMinMinutes)
{
    m_ini.writeBool(kSection, QStringLiteral("root"), autostart);
    m_ini.writeBool(kSection, QStringLiteral("pdtf"), passwordProtect);
    m_ini.writeInt(kSection, QStringLiteral("zxf"), std::max(autoMinMinutes, 0));
}

void Settings::saveReminder(const QString& mailTo, int daysAhead, bool mailOn)
{
    m_ini.writeText(kSection, QStringLiteral("em"), mailTo);
    m_ini.writeInt(kSection, QStringLiteral("dd"), daysAhead);
    m_ini.writeBool(kSection, QStringLiteral("qy"), mailOn);
}

void Settings::saveSendDate(QDate date)
{
    m_ini.writeDate(kSection, QStringLiteral("senddate"), date);
}

void Settings::saveStartHidden(bool hidden)
{
    m_ini.writeBool(kSection, QStringLiteral("starthidden"), hidden);
}

QString Settings::caldavPassword() const
{
    return m_ini.readText(QStringLiteral("日历同步"), QStringLiteral("caldav_password"));
}

void Settings::setCaldavPassword(const QString& password)
{
    m_ini.writeText(QStringLiteral("日历同步"), QStringLiteral("caldav_password"), password);
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
