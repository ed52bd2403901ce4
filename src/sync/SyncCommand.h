#pragma once

#include "store/Clock.h"
#include "store/HomeFolder.h"

#include <QTextStream>

// `velmora --sync-calendar`: brings the calendar collection of section "日历同步" to the events
// `--ics` prints, headless. Reads the database, changes nothing in it. Exit code 1 on failure.
int runSyncCalendarCommand(const HomeFolder& home, const Clock& clock, QTextStream& out, QTextStream& err);
