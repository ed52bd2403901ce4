#pragma once

#include <functional>

class QObject;

// Ctrl+C and SIGTERM (how a terminal or a session manager stops the program) end it the same
// way as "退出软件" answered with Yes: the event loop ends and everything is cleaned up, the
// demo's throw-away home included. A second signal while that runs ends the process at once.
// The handler only writes to a pipe; `quit` runs later in the event loop. Installed once.
void quitOnTerminationSignals(QObject* context, std::function<void()> quit);
