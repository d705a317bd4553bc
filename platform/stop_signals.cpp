#include "platform/stop_signals.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace tarrowind {
namespace {

std::thread g_watcher;
int g_wake[2] = {-1, -1};  // written to end the watcher
int g_signals = -1;

sigset_t StopSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

// Nothing to clean up: the process ends by the signal, as it would have without the watcher.
void DieBy(int signal)
{
    ::signal(signal, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::raise(signal);
}

// Standard output is a pipe or socket, whose reader can go away while the run writes nothing.
bool OutputIsAPipe()
{
    struct stat st {};
    return ::fstat(STDOUT_FILENO, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
}

void Watch(int signals)
{
    // A pipe whose reader has gone reports an error on its writing end at once: the run stops then, not
    // only at its next line.
    pollfd fds[3] = {{signals, POLLIN, 0}, {g_wake[0], POLLIN, 0}, {OutputIsAPipe() ? STDOUT_FILENO : -1, 0, 0}};
    for (;;) {
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if (fds[2].revents != 0) {
            fds[2].fd = -1;
            RequestStop(kExitOutputClosed);
        }
        signalfd_siginfo info{};
        if ((fds[0].revents & POLLIN) != 0 && ::read(signals, &info, sizeof info) == sizeof info) {
            const int signal = static_cast<int>(info.ssi_signo);
            const int code = signal == SIGINT ? kExitInterrupted : signal == SIGTERM ? kExitTerminated : kExitHungUp;
            if (!RequestStop(code)) {
                DieBy(signal);
            }
        }
    }
}

}  // namespace

void CatchStopSignals()
{
    // A write to a closed pipe fails with EPIPE instead; the run then stops as it does for a signal.
    ::signal(SIGPIPE, SIG_IGN);
    const sigset_t set = StopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    g_signals = ::signalfd(-1, &set, SFD_CLOEXEC);
    if (g_signals < 0 || ::pipe2(g_wake, O_CLOEXEC) != 0) {
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);  // the signals act as they always did
        return;
    }
    g_watcher = std::thread(Watch, g_signals);
}

void ReleaseStopSignals()
{
    if (!g_watcher.joinable()) {
        return;
    }
    [[maybe_unused]] const auto written = ::write(g_wake[1], "x", 1);
    g_watcher.join();
    for (const int fd : {g_signals, g_wake[0], g_wake[1]}) {
        ::close(fd);
    }
}

}  // namespace tarrowind
