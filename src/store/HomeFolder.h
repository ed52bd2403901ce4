#pragma once

#include <QString>

// The program's home folder holds System.ini, Data/Data.db and optional copies of the
// shipped files. Found in this order: $VELMORA_HOME; the executable's folder when it
// already holds System.ini or Data/ (portable use); ~/.local/share/Velmora.
class HomeFolder
{
public:
    explicit HomeFolder(QString path) : m_path(std::move(path)) {}

    static HomeFolder locate(const QString& executableDir);

    // Creates the folder (mode 0700) and its Data/ subfolder when missing. Throws Error.
    void ensureExists() const;

    QString path() const { return m_path; }
    QString iniPath() const;      // System.ini
    QString databasePath() const; // Data/Data.db
    QString logPath() const;      // velmora.log
    QString lockPath() const;     // velmora.lock, held by the running program

    // For headless commands, which never create anything: the database path when the file
    // exists and can be read; otherwise throws Error with a message saying which.
    QString existingDatabasePath() const;

    // A shipped file: the home folder's copy when present, else the built-in resource.
    QString shippedFile(const QString& name) const;

private:
    QString m_path;
};
