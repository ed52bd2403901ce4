#pragma once

#include "store/Clock.h"
#include "store/HomeFolder.h"

#include <QTextStream>

// `velmora --summary [--json]`: the refresh pass on the home folder's database without a
// window, then the due counts and the due-soon list on standard output. Returns the exit code.
int runSummaryCommand(const HomeFolder& home, const Clock& clock, bool json, QTextStream& out,
                      QTextStream& err);
