#include "app/QuitOnSignal.h"

#include <QObject>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int g_pipe[2] = {-1, -1};

void onSignal(int signo)
{
    // Only async-signal-safe calls here; a repeat gets the default action (the process ends).
    std::signal(signo, SIG_DFL);
    const char byte = char(signo);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}
} // namespace

void quitOnTerminationSignals(QObject* context, std::function<void()> quit)
{
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [notifier, quit = std::move(quit)] {
        char byte;
        while (::read(g_pipe[0], &byte, 1) > 0) {
        }
        notifier->setEnabled(false);
        quit();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
