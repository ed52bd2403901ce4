#pragma once

#include "store/IniFile.h"

#include <QDate>
#include <QString>

// The keys of section "系统设置" of System.ini, read and written through their lines in
// store/SettingKeys.h (which hold the defaults). Reads go to the file every time (values written
// elsewhere are seen at once).
class Settings
{
public:
    explicit Settings(const QString& iniPath) : m_ini(iniPath) {}

    static const QString kSection; // "系统设置"

    // pd: empty for the empty password; kPasswordInKey when a password is set (the card key in the
    // database is the only thing that can check it); an older file's plain text or digest.
    static const QString kPasswordInKey;
    QString password() const; // pd as stored, default empty
    bool passwordSet() const; // pd not empty
    bool passwordInKey() const;
    // Checks against what pd itself can tell: the empty password, or an older file's plain text or
    // digest. False for kPasswordInKey, which only the card key can check. Reads pd afresh.
    bool checkPassword(const QString& typed) const;
    bool autostart() const; // root, default false
    // pdtf. A missing key counts as on, from the first show on: a password the user set protects
    // at once, before the protection switch was ever saved.
    bool passwordProtect() const;
    int autoMinMinutes() const; // zxf, default 0, bounded to 0..1440
    QString mailTo() const;     // em, default empty
    int daysAhead() const;      // dd, default 0
    bool mailOn() const;        // qy, default false
    QDate sendDate() const;     // senddate, default 1990-1-1
    bool startHidden() const;   // starthidden: start in the tray, default false

    void savePassword(const QString& password); // pd: kPasswordInKey, or empty for the empty password
    void saveGeneral(bool autostart, bool passwordProtect, int autoMinMinutes); // root, pdtf, zxf
    void saveReminder(const QString& mailTo, int daysAhead, bool mailOn);       // em, dd, qy
    void saveSendDate(QDate date);                                              // senddate
    void saveStartHidden(bool hidden);                                          // starthidden
    // keymark: which wrap of the card key the current password made (CardSecrets::keyMark), so
    // that a database copy sealed under another password is told from a mistyped password.
    QString keyMark() const;
    void saveKeyMark(const QString& mark);

    IniFile& file() { return m_ini; }
    const IniFile& file() const { return m_ini; }

private:
    IniFile m_ini;
};
