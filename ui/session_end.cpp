#include "ui/session_end.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#ifndef _WIN32
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "ui/main_dialog.h"

namespace tarrowind {
namespace {

#ifndef _WIN32
int g_signalPipe[2] = {-1, -1};

// Only what is safe in a signal handler: one byte into the pipe.
void OnSignal(int signal)
{
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}
#endif

}  // namespace

SessionEnd::SessionEnd(MainDialog& window) : m_window(window)
{
    // Asked to save its data, the session is ending: the window may be gone a moment later.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { End(); });
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { End(); });
#ifndef _WIN32
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) {
        return;
    }
    m_notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const auto read = ::read(g_signalPipe[0], &byte, 1);
        End();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
#endif
}

SessionEnd::~SessionEnd()
{
#ifndef _WIN32
    if (g_signalPipe[0] >= 0) {
        // A signal from now on ends the process as it would have without the window.
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            ::signal(signal, SIG_DFL);
        }
        delete m_notifier;
        m_notifier = nullptr;
        ::close(g_signalPipe[0]);
        ::close(g_signalPipe[1]);
        g_signalPipe[0] = g_signalPipe[1] = -1;
    }
#endif
}

void SessionEnd::End()
{
    if (m_ended) {
        return;
    }
    m_ended = true;
    m_window.EndSession();
}

}  // namespace tarrowind
