#pragma once

#include <QString>

class IniFile;
class SecretStore;

// Where the mail login password is kept: in the desktop's keyring when one runs, else in
// System.ini (smtp_password, in clear). A password in System.ini is the newest one: it is
// written there only when the keyring could not take it, and removed once the keyring has it.
namespace MailPassword {

enum class Place {
    Nowhere,      // no password
    Keyring,      // the desktop's Secret Service
    SettingsFile, // smtp_password in System.ini
};

struct Found
{
    QString password;
    Place place = Place::Nowhere;
    QString keyringProblem; // why the keyring could not be asked, when it could not
};

// The keyring item's key; also the key in System.ini.
extern const QString kKey; // "smtp_password"

Found find(const IniFile& file, const SecretStore& keyring);

// Keeps `password` in the keyring when it takes it, then removes it from System.ini; else writes
// it to System.ini. An empty password is removed from both. Throws Error when System.ini cannot
// be written.
Place save(IniFile& file, const SecretStore& keyring, const QString& password);

// Moves a password from System.ini into a running keyring; System.ini loses it only after the
// keyring has stored it. True when it moved.
bool moveToKeyring(IniFile& file, const SecretStore& keyring);

// What the settings dialog says about the place ("密码保存在桌面的密钥环中。", …).
QString describe(Place place, bool keyringRunning);

} // namespace MailPassword
