#pragma once

#include "store/CardLock.h"

#include <QString>

class Settings;

// Blanks and control characters at both ends removed, as typed entries are compared and saved
// (a full-width space is text, not a blank).
QString trimEntry(QStringView text);

// The check behind the login button: the typed text, trimmed, against the stored password,
// which is read again at every attempt so a password saved a moment ago already applies.
class LoginGate
{
public:
    explicit LoginGate(const Settings& settings) : m_settings(settings) {}
    bool accepts(const QString& typed) const;
    bool passwordSet() const; // a non-empty password is stored

    // With the card secrets attached, a correct login also opens them (see CardLock::login).
    void setCardLock(CardLock* lock) { m_lock = lock; }
    CardLock::Login login(const QString& typed) const;
    // After a login refused as sealedUnderAnother: the earlier password opens the cards, which
    // are sealed again under the one typed at the login.
    CardLock::Login openEarlier(const QString& typed, const QString& earlier) const;

private:
    const Settings& m_settings;
    CardLock* m_lock = nullptr;
};
