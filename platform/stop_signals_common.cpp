// The stop shared by the systems' signal watchers.
#include <atomic>
#include <mutex>

#include "platform/stop_signals.h"

namespace tarrowind {
namespace {

std::mutex g_lock;  // held while the handler is changed or runs
std::function<void()> g_onStop;
std::atomic<int> g_exitCode{0};

}  // namespace

void SetStopHandler(std::function<void()> onStop)
{
    std::lock_guard hold(g_lock);
    g_onStop = std::move(onStop);
    if (g_onStop && g_exitCode.load() != 0) {
        g_onStop();
    }
}

bool RequestStop(int exitCode)
{
    int none = 0;
    const bool first = g_exitCode.compare_exchange_strong(none, exitCode);
    std::lock_guard hold(g_lock);
    if (!g_onStop) {
        return false;
    }
    if (first) {
        g_onStop();
    }
    return true;
}

int StopExitCode()
{
    return g_exitCode.load();
}

}  // namespace tarrowind
