#pragma once

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace tarrowind {

// Carries the core's events from the search thread and the workers to the window thread and waits
// until the window has handled them, as a sent window message does: a record handed over stays valid
// while the window reads it. Close() ends the crossing: waiting and later senders return at once without
// their call, so that the window can wait for those threads while it closes without a deadlock.
class UiCallGate final : public QObject {
    Q_OBJECT

public:
    // Made on the window thread; calls run on the thread the gate belongs to.
    explicit UiCallGate(QObject* parent = nullptr);
    ~UiCallGate() override;

    // Runs `call` on the window thread and returns when it has run (at once when called there). False
    // when the gate was closed before the call could run.
    bool Call(const std::function<void()>& call);
    // No call runs any more; every waiting sender is released.
    void Close();
    bool IsClosed() const;

private:
    struct Pending {
        const std::function<void()>* call = nullptr;
        bool finished = false;
        bool ran = false;
    };

    Q_INVOKABLE void RunPending();

    mutable std::mutex m_lock;
    std::condition_variable m_finished;
    std::deque<Pending*> m_pending;
    bool m_closed = false;
};

}  // namespace tarrowind
