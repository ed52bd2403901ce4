#pragma once

#include <QString>

// The desktop's autostart entry ($XDG_CONFIG_HOME/autostart/Velmora.desktop), standing in
// for a "run at log-in" registration. No administrator rights needed.
namespace Autostart {

QString entryPath();
// Writes the entry pointing at `executable`; throws Error on failure.
void write(const QString& executable);
// Deletes the entry; silently does nothing when it is missing or cannot be removed.
void remove();

} // namespace Autostart
