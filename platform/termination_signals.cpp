#include "platform/termination_signals.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <initializer_list>

namespace tarrowind {
namespace {

int g_signalPipe[2] = {-1, -1};

// Only what is safe in a signal handler: one byte into the pipe.
void OnSignal(int signal)
{
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

}  // namespace

int CatchTerminationSignals()
{
    if (g_signalPipe[0] >= 0) {
        return g_signalPipe[0];
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) {
        g_signalPipe[0] = g_signalPipe[1] = -1;
        return -1;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    return g_signalPipe[0];
}

void ConsumeTerminationSignal()
{
    char byte = 0;
    [[maybe_unused]] const auto read = ::read(g_signalPipe[0], &byte, 1);
}

void ReleaseTerminationSignals()
{
    if (g_signalPipe[0] < 0) {
        return;
    }
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::signal(signal, SIG_DFL);
    }
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    g_signalPipe[0] = g_signalPipe[1] = -1;
}

}  // namespace tarrowind
