#include "ui/main_window/ui_call_gate.h"

#include <QThread>

namespace tarrowind {

UiCallGate::UiCallGate(QObject* parent) : QObject(parent) {}

UiCallGate::~UiCallGate()
{
    Close();
}

bool UiCallGate::Call(const std::function<void()>& call)
{
    if (QThread::currentThread() == thread()) {
        if (IsClosed()) {
            return false;
        }
        call();
        return true;
    }
    Pending pending{&call};
    std::unique_lock lock(m_lock);
    if (m_closed) {
        return false;
    }
    m_pending.push_back(&pending);
    QMetaObject::invokeMethod(this, "RunPending", Qt::QueuedConnection);
    m_finished.wait(lock, [&] { return pending.finished; });
    return pending.ran;
}

void UiCallGate::RunPending()
{
    std::unique_lock lock(m_lock);
    while (!m_closed && !m_pending.empty()) {
        Pending* pending = m_pending.front();
        m_pending.pop_front();
        lock.unlock();
        (*pending->call)();
        lock.lock();
        pending->ran = true;
        pending->finished = true;
        m_finished.notify_all();
    }
}

// Safe from any thread; the destructor relies on it.
void UiCallGate::Close()
{
    const std::lock_guard lock(m_lock);
    m_closed = true;
    for (Pending* pending : m_pending) {
        pending->finished = true;
    }
    m_pending.clear();
    m_finished.notify_all();
}

bool UiCallGate::IsClosed() const
{
    const std::lock_guard lock(m_lock);
    return m_closed;
}

}  // namespace tarrowind
