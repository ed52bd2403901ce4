#pragma once

#include <QString>

class CardSecrets;
class Settings;

// What the login password means for the card secrets: the rules behind the login and behind the
// password and protection switches of the settings page. The values are sealed while protection
// is on (pdtf) and a password is set. The settings file holds what the user chose; the database
// follows, in an order that a crash between the two files leaves recoverable: sealing happens
// after the choice is saved (a login finishes it), opening before.
class CardLock
{
public:
    CardLock(Settings& settings, CardSecrets& secrets) : m_settings(settings), m_secrets(secrets) {}

    // Protection on (a missing pdtf counts as on) and a password set.
    bool wanted() const;

    struct Login
    {
        bool accepted = false;
        QString problem; // the login stands, but the values cannot be shown (Chinese)
        // Refused, and the database holds a key another password sealed (a copy from before a
        // password change or reset): openEarlier() takes that password.
        bool sealedUnderAnother = false;
        QString notice; // accepted, and something the user should know (Chinese)
    };
    // A login with the trimmed `password`. While the values are sealed, opening the data key is
    // the check (a password an older version kept in the file is removed then). Without a key
    // the empty password, or an older file's password, is checked and the cards are sealed now
    // while protection is wanted. A password set but no key to check it: refused, with why.
    Login login(const QString& password);
    // A database sealed under an earlier password: opened with `earlier` and sealed again under
    // `current`, in one transaction; with `current` empty (no password set) `earlier` becomes the
    // login password again. Refused, changing nothing, when `earlier` does not open it.
    Login openEarlier(const QString& current, const QString& earlier);

    // Whether a new password must be given the current one first: the values are sealed and the
    // key is not open.
    bool passwordNeeded() const;
    // Whether saving the protection switch as `on` needs the current password: to seal (on) it
    // wraps the new key; to open (off) it opens the key.
    bool passwordNeededForProtection(bool on) const;
    // Checks `current` by opening the key with it where there is one (else against an older
    // file's password; with protection off and no key, nothing can check it and it is taken).
    // Returns an empty text when it did, else why not.
    QString confirm(const QString& current);

    // Saves a new password: a new key seals the values again, the values are opened for an
    // empty password, or sealed when protection is on and they were clear.
    void changePassword(const QString& password);
    // Saves root, pdtf and zxf, and seals (with the current password) or opens the values as
    // the switch says.
    void saveGeneral(bool autostart, bool protect, int autoMinMinutes, const QString& currentPassword);
    // For a forgotten password: the sealed values emptied, the password cleared; everything else
    // stays. The number of values emptied.
    int reset();

private:
    void rememberKey(); // the key now stored is the current password's

    Settings& m_settings;
    CardSecrets& m_secrets;
};
