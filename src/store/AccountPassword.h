#pragma once

#include <QString>

#include "store/SettingKey.h"

class IniFile;
class SecretStore;

// Where an account's password (the mail server's, the calendar server's) is kept: in the
// desktop's keyring when one runs, else in its System.ini key (in clear). A password in System.ini
// is the newest one: it is written there only when the keyring could not take it, and removed
// once the keyring has it.
class AccountPassword
{
public:
    enum class Place {
        Nowhere,      // no password
        Keyring,      // the desktop's Secret Service
        SettingsFile, // the key in System.ini
    };

    struct Found
    {
        QString password;
        Place place = Place::Nowhere;
        QString keyringProblem; // why the keyring could not be asked, when it could not
    };

    static AccountPassword mail();     // smtp_password
    static AccountPassword calendar(); // caldav_password

    // The keyring item's key: the key's name in System.ini.
    QString keyringKey() const { return m_key.keyName(); }

    Found find(const IniFile& file, const SecretStore& keyring) const;
    // The keyring's part of find(): for a caller that has the System.ini value already.
    Found fromKeyring(const SecretStore& keyring) const;

    // Keeps `password` in the keyring when it takes it, then removes it from System.ini; else
    // writes it to System.ini. An empty password is removed from both. Throws Error when
    // System.ini cannot be written.
    Place save(IniFile& file, const SecretStore& keyring, const QString& password) const;

    // Moves a password from System.ini into a running keyring; System.ini loses it only after the
    // keyring has stored it. True when it moved.
    bool moveToKeyring(IniFile& file, const SecretStore& keyring) const;

    // What a settings dialog says about the place ("密码保存在桌面的密钥环中。", …).
    static QString describe(Place place, bool keyringRunning);

    // What a settings dialog shows when it opens: a password left in System.ini moved into a
    // running keyring first, then the password found and where it is kept.
    struct Shown
    {
        Found found;
        QString placeText;  // describe()
        bool keyringUnread; // the keyring could not be read: an empty field says nothing
    };
    Shown forDialog(IniFile& file, const SecretStore& keyring) const;
    // The line a dialog's "saved" message ends with: where the password went; empty for none.
    static QString savedNote(Place place);

private:
    AccountPassword(const SettingKey& key, QString label) : m_key(key), m_label(std::move(label)) {}
    QString inFile(const IniFile& file) const;

    const SettingKey& m_key;
    QString m_label; // what the keyring manager shows for the item
};
