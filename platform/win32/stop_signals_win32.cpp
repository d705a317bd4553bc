#include "platform/stop_signals.h"

#include <windows.h>

#include <atomic>

namespace tarrowind {
namespace {

std::atomic<bool> g_released{false};

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        return RequestStop(kExitInterrupted) ? TRUE : FALSE;  // FALSE: the default handler ends the process
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        if (!RequestStop(kExitTerminated)) {
            return FALSE;
        }
        // The system ends the process when this returns: the run gets a few seconds to clean up.
        for (int i = 0; i < 400 && !g_released.load(); ++i) {
            ::Sleep(10);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void CatchStopSignals()
{
    g_released = false;
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void ReleaseStopSignals()
{
    g_released = true;
}

}  // namespace tarrowind
