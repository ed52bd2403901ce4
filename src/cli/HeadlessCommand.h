#pragma once

#include "cli/CommandLine.h"

// The commands that run without a window (--summary, --remind, --backup, --restore, --ics,
// --export-csv): on the core alone, with a QCoreApplication of their own.
namespace HeadlessCommand {

bool handles(CommandLine::Mode mode);
// Runs the command on the home folder; the process's exit status.
int run(const CommandLine& command, int argc, char* argv[]);

} // namespace HeadlessCommand
