#pragma once

#include "store/IniFile.h"

#include <QDate>
#include <QString>

// The keys of section "系统设置" of System.ini, each with the default its reader uses.
// Reads go to the file every time (values written elsewhere are seen at once).
class Settings
{
public:
    explicit Settings(const QString& iniPath) : m_ini(iniPath) {}

    static const QString kSection; // "系统设置"

    QString password() const; // pd as stored (a digest or older plain text), default empty
    bool checkPassword(const QString& typed) const; // reads pd afresh; empty/missing pd = empty password
    bool autostart() const;                         // root, default false
    bool passwordProtect(bool missing) const;       // pdtf: false at creation, true at refresh
    int autoMinMinutes() const;                     // zxf, default 0, bounded to 0..1440
    QString mailTo() const;                         // em, default empty
    int daysAhead() const;                          // dd, default 0
    bool mailOn() const;                            // qy, default false
    QDate sendDate() const;                         // senddate, default 1990-1-1
    bool startHidden() const;                       // starthidden: start in the tray, default false

    void savePassword(const QString& password); // pd: a salted digest, or empty for the empty password
    void saveGeneral(bool autostart, bool passwordProtect, int autoMinMinutes); // root, pdtf, zxf
    void saveReminder(const QString& mailTo, int daysAhead, bool mailOn);       // em, dd, qy
    void saveSendDate(QDate date);                                              // senddate
    void saveStartHidden(bool hidden);                                          // starthidden

    IniFile& file() { return m_ini; }
    const IniFile& file() const { return m_ini; }

private:
    IniFile m_ini;
};
