#include "store/CardLock.h"

#include "store/CardSecrets.h"
#include "store/Error.h"
#include "store/Settings.h"

namespace {
const QString kNoKey = QStringLiteral(
    "数据库中没有可以核对密码的卡片密钥（可能换用了未加密的数据库副本）。请在“系统设置”中用“重置密码”"
    "重新设置密码。");
} // namespace

bool CardLock::wanted() const
{
    return m_settings.passwordProtect() && m_settings.passwordSet();
}

CardLock::Login CardLock::login(const QString& password)
{
    Login result;
    try {
        if (m_secrets.keyStored()) {
            // The key decides: nothing cheaper to check the password against is kept.
            if (!m_secrets.unlock(password)) {
                result.problem = m_secrets.wrapProblem();
                // A key no password of ours sealed: after "reset" no password is set at all (an
                // empty one never seals), else the mark of the key the password made differs.
                const QString mark = m_settings.keyMark();
                result.sealedUnderAnother =
                    result.problem.isEmpty() &&
                    (!m_settings.passwordSet() || (!mark.isEmpty() && mark != m_secrets.keyMark()));
                return result;
            }
            result.accepted = true;
            if (!m_settings.passwordInKey())
                m_settings.savePassword(password); // an older file's plain text or digest goes
            rememberKey();
            return result;
        }
        if (m_settings.passwordInKey()) {
            // Values clear (protection was off): the key kept to check the password decides.
            const std::optional<bool> opens = m_secrets.checkWhileClear(password);
            if (!opens)
                result.problem = kNoKey;
            if (!opens.value_or(false))
                return result;
        } else if (!m_settings.checkPassword(password)) {
            // No key yet: the empty password, or a password an older version kept in the file.
            return result;
        }
        result.accepted = true;
        if (wanted()) {
            // The first login after an upgrade, or after a switch that was cut short: sealed now,
            // and the file's copy of the password goes once the key holds it.
            m_secrets.protect(password);
            m_settings.savePassword(password);
            rememberKey();
        }
    } catch (const Error& e) {
        result.problem = e.message();
    }
    return result;
}

CardLock::Login CardLock::openEarlier(const QString& current, const QString& earlier)
{
    Login result;
    try {
        if (!m_secrets.unlock(earlier)) {
            result.problem = QStringLiteral("这个密码也打不开卡片资料，数据库未作改动。");
            result.sealedUnderAnother = true;
            return result;
        }
        if (current.isEmpty()) {
            // No password to seal them under (the login after a reset): the earlier one is the
            // login password again and the values stay sealed as they are.
            m_settings.savePassword(earlier);
            result.notice = QStringLiteral("卡片资料已用当时的密码打开，这个密码重新成为登录密码。");
        } else {
            m_secrets.changePassword(current);
            m_settings.savePassword(current);
        }
        rememberKey();
        result.accepted = true;
    } catch (const Error& e) {
        m_secrets.lock();
        result.problem = e.message();
    }
    return result;
}

void CardLock::rememberKey()
{
    // Only an aid to tell a restored copy from a typo: a settings file that cannot be written
    // costs the login nothing.
    try {
        m_settings.saveKeyMark(m_secrets.keyMark());
    } catch (const Error&) {
    }
}

bool CardLock::passwordNeeded() const
{
    return m_secrets.keyStored() && !m_secrets.unlocked();
}

bool CardLock::passwordNeededForProtection(bool on) const
{
    if (on)
        return m_settings.passwordSet() && !m_secrets.keyStored();
    return passwordNeeded();
}

QString CardLock::confirm(const QString& current)
{
    if (m_secrets.keyStored()) {
        if (m_secrets.unlock(current))
            return {};
        const QString problem = m_secrets.wrapProblem();
        return problem.isEmpty() ? QStringLiteral("密码错误") : problem;
    }
    if (m_settings.passwordInKey()) {
        // Nothing left to check against (a database copy without its key): the one typed is taken.
        return m_secrets.checkWhileClear(current).value_or(true) ? QString() : QStringLiteral("密码错误");
    }
    return m_settings.checkPassword(current) ? QString() : QStringLiteral("密码错误");
}

void CardLock::changePassword(const QString& password)
{
    if (m_secrets.keyStored()) {
        if (password.isEmpty()) {
            // No password, nothing to seal with: the values are opened first.
            m_secrets.unprotect();
            m_secrets.keepCheckWhileClear(password);
            m_settings.savePassword(password);
            return;
        }
        // A new key under the new password, in one transaction with every value sealed again.
        m_secrets.changePassword(password);
        m_settings.savePassword(password);
        rememberKey();
        return;
    }
    // Sealed before the file says a password is set, so a crash in between leaves a key that
    // decides the next login, never a password nothing can check.
    if (m_settings.passwordProtect() && !password.isEmpty())
        m_secrets.protect(password);
    else
        m_secrets.keepCheckWhileClear(password);
    m_settings.savePassword(password);
    rememberKey();
}

void CardLock::saveGeneral(bool autostart, bool protect, int autoMinMinutes, const QString& currentPassword)
{
    if (!protect && m_secrets.keyStored()) {
        m_secrets.unprotect(); // opened before the switch is saved
        m_settings.saveGeneral(autostart, protect, autoMinMinutes);
        return;
    }
    const bool seal = protect && m_settings.passwordSet() && !m_secrets.keyStored();
    if (seal && !confirm(currentPassword).isEmpty())
        throw Error(QStringLiteral("密码错误"));
    // Sealed before the switch is saved: a crash in between leaves sealed values that the next
    // save of the switch puts under the login, never a locked tab with nothing to check against.
    if (seal) {
        m_secrets.protect(currentPassword);
        m_settings.savePassword(currentPassword);
        rememberKey();
    }
    m_settings.saveGeneral(autostart, protect, autoMinMinutes);
}

int CardLock::reset()
{
    const int cleared = m_secrets.clearSealed();
    m_settings.savePassword(QString());
    rememberKey();
    return cleared;
}
