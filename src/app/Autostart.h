#pragma once

#include <QString>

// The desktop's autostart entry ($XDG_CONFIG_HOME/autostart/Velmora.desktop), standing in
// for a "run at log-in" registration. No administrator rights needed.
namespace Autostart {

QString entryPath();
// Writes the entry pointing at `executable`; throws Error on failure. A non-empty `home` is
// passed on as VELMORA_HOME, so the program started at log-in uses the same home folder.
void write(const QString& executable, const QString& home = {});
// The Exec value of the entry, quoted and escaped as desktop entries require.
QString execLine(const QString& executable, const QString& home = {});
// Deletes the entry; silently does nothing when it is missing or cannot be removed.
void remove();
// The entry exists: the program starts at log-in.
bool isOn();

} // namespace Autostart
