#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for. Parsed before any application object exists, so that
// headless commands never need a display.
struct CommandLine
{
    enum class Mode {
        Gui,
        Help,
        Version,
        Summary,
        Remind,
        Backup,
        Restore,
        Calendar,
        ExportCsv,
        SyncCalendar,
        ImportCsv,
        Error
    };
    Mode mode = Mode::Gui;
    bool json = false;
    bool demo = false;
    bool force = false;     // --restore: also a copy with card secrets in clear while protection is on
    bool minimized = false; // start hidden in the tray
    QString file;           // --backup, --restore, --export-csv, --import-csv FILE
    QString helpText;
    QString errorText;

    static CommandLine parse(const QStringList& arguments);
};
