#include "platform/stop_signals.h"

#include <signal.h>
#include <time.h>

#include <atomic>
#include <thread>

namespace tarrowind {
namespace {

std::thread g_watcher;
std::atomic<bool> g_released{false};

sigset_t StopSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

void Watch()
{
    const sigset_t set = StopSet();
    const timespec turn{1, 0};
    for (;;) {
        const int signal = sigtimedwait(&set, nullptr, &turn);
        // ReleaseStopSignals wakes the watcher with a signal of its own: the run is over by then.
        if (g_released.load()) {
            return;
        }
        if (signal <= 0) {
            continue;
        }
        const int code = signal == SIGINT ? kExitInterrupted : signal == SIGTERM ? kExitTerminated : kExitHungUp;
        if (!RequestStop(code)) {
            // Nothing to clean up: the process ends by the signal, as it would have without the watcher.
            ::signal(signal, SIG_DFL);
            sigset_t one;
            sigemptyset(&one);
            sigaddset(&one, signal);
            pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
            ::raise(signal);
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
    g_released = false;
    g_watcher = std::thread(Watch);
}

void ReleaseStopSignals()
{
    g_released = true;
    if (g_watcher.joinable()) {
        pthread_kill(g_watcher.native_handle(), SIGTERM);
        g_watcher.join();
    }
}

}  // namespace tarrowind
