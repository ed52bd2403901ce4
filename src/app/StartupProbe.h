#pragma once

class QWidget;

// For the start-up benchmark only: when VELMORA_BENCH_EXIT_AFTER_SHOW is set, the first
// paint of `window` prints the milliseconds since the process started, after the steps noted
// on the way there, and ends the program. Without the variable this does nothing.
void installStartupProbe(QWidget* window);

// Notes that `step` has ended now (printed as "startup_step <ms since start> <step>").
void markStartupStep(const char* step);
