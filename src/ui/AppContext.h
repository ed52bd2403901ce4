#pragma once

#include "store/Clock.h"
#include "store/HomeFolder.h"
#include "store/Settings.h"

class DataModule;

// What every window is given at start-up: where files live, the settings file, the clock.
struct AppContext
{
    HomeFolder home;
    Settings settings;
    const Clock* clock = &Clock::system();
    DataModule* data = nullptr; // set by the assembly of the main window (AppAssembly)
    QString executablePath;     // for the autostart entry
    QString autostartHome;      // home the autostart entry passes on (chosen by VELMORA_HOME)

    explicit AppContext(const HomeFolder& folder) : home(folder), settings(folder.iniPath()) {}
};
