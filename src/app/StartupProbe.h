#pragma once

class QWidget;

// For the start-up benchmark only: when VELMORA_BENCH_EXIT_AFTER_SHOW is set, the first
// paint of `window` prints the milliseconds since the process started and ends the program.
// Without the variable this does nothing.
void installStartupProbe(QWidget* window);
