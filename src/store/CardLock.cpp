#include "store/CardLock.h"

#include "store/CardSecrets.h"
#include "store/Error.h"
#include "store/PasswordHash.h"
#include "store/Settings.h"

namespace {
const QString kKeyDoesNotOpen =
    QStringLiteral("卡片密钥无法用这个密码解开（数据库中的密钥可能已损坏或被改动），卡号、校验码和有效期"
                   "无法显示。数据库未作任何改动。");
} // namespace

bool CardLock::wanted() const
{
    return m_settings.passwordProtect() && !m_settings.password().isEmpty();
}

CardLock::Login CardLock::login(const QString& password)
{
    Login result;
    if (!m_settings.checkPassword(password))
        return result;
    result.accepted = true;
    try {
        const QString stored = m_settings.password();
        if (!stored.isEmpty() && !PasswordHash::isDigest(stored))
            m_settings.savePassword(password); // a plain-text password from an older version
        if (m_secrets.keyStored()) {
            if (!m_secrets.unlocked() && !m_secrets.unlock(password))
                result.problem = kKeyDoesNotOpen;
        } else if (wanted()) {
            // The first login after an upgrade, or after a switch that was cut short.
            m_secrets.protect(password);
        }
    } catch (const Error& e) {
        result.problem = e.message();
    }
    return result;
}

bool CardLock::passwordNeeded() const
{
    return m_secrets.keyStored() && !m_secrets.unlocked();
}

bool CardLock::passwordNeededForProtection(bool on) const
{
    if (on)
        return !m_settings.password().isEmpty() && !m_secrets.keyStored();
    return passwordNeeded();
}

QString CardLock::confirm(const QString& current)
{
    if (!m_settings.checkPassword(current))
        return QStringLiteral("密码错误");
    if (passwordNeeded() && !m_secrets.unlock(current))
        return kKeyDoesNotOpen;
    return {};
}

void CardLock::changePassword(const QString& password)
{
    if (m_secrets.keyStored()) {
        if (password.isEmpty()) {
            // No password, nothing to seal with: the values are opened first.
            m_secrets.unprotect();
            m_settings.savePassword(password);
            return;
        }
        // The new wrap is stored before the new password and the old wrap goes after it, so a
        // crash in between leaves a wrap for whichever password the file holds.
        const qint64 wrap = m_secrets.addWrap(password);
        m_settings.savePassword(password);
        m_secrets.dropWrapsExcept(wrap);
        return;
    }
    m_settings.savePassword(password);
    if (wanted())
        m_secrets.protect(password);
}

void CardLock::saveGeneral(bool autostart, bool protect, int autoMinMinutes, const QString& currentPassword)
{
    if (!protect && m_secrets.keyStored()) {
        m_secrets.unprotect(); // opened before the switch is saved
        m_settings.saveGeneral(autostart, protect, autoMinMinutes);
        return;
    }
    const bool seal = protect && !m_settings.password().isEmpty() && !m_secrets.keyStored();
    if (seal && !m_settings.checkPassword(currentPassword))
        throw Error(QStringLiteral("密码错误"));
    m_settings.saveGeneral(autostart, protect, autoMinMinutes);
    if (seal)
        m_secrets.protect(currentPassword);
}

int CardLock::reset()
{
    const int cleared = m_secrets.clearSealed();
    m_settings.savePassword(QString());
    return cleared;
}
