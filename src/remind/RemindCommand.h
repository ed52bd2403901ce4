#pragma once

#include "store/Clock.h"
#include "store/HomeFolder.h"

#include <QTextStream>

// `velmora --remind`: the refresh pass, then the daily reminder e-mail check, headless.
// Returns the exit code (non-zero when a send failed).
int runRemindCommand(const HomeFolder& home, const Clock& clock, QTextStream& out, QTextStream& err);
