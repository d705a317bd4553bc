#include "ui/main_window/session_end.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include "platform/termination_signals.h"
#include "ui/main_window/main_dialog.h"

namespace tarrowind {

SessionEnd::SessionEnd(MainDialog& window) : m_window(window)
{
    // Asked to save its data, the session is ending: the window may be gone a moment later.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { End(); });
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { End(); });
    const int descriptor = CatchTerminationSignals();
    if (descriptor < 0) {
        return;
    }
    m_notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        ConsumeTerminationSignal();
        End();
    });
}

SessionEnd::~SessionEnd()
{
    // The notifier goes before the descriptor it watches.
    delete m_notifier;
    m_notifier = nullptr;
    ReleaseTerminationSignals();
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
