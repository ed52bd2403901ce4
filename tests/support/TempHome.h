#pragma once

#include "store/HomeFolder.h"

#include <QTemporaryDir>

// A fresh home folder for one test: VELMORA_HOME points at it while the object lives.
class TempHome
{
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    HomeFolder home() const { return HomeFolder(m_dir.path()); }
    QString path() const { return m_dir.path(); }
    QString iniPath() const { return home().iniPath(); }
    QString databasePath() const { return home().databasePath(); }
    // Writes System.ini from UTF-8 text, encoded as GBK.
    void writeIni(const QString& text) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious = false;
};
