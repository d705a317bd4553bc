#pragma once

namespace tarrowind {

// A level-triggered event that a blocked wait can include: once signalled it stays readable until
// Reset, so every waiter that looks at it afterwards wakes at once.
class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    void Signal();
    void Reset();
    // The descriptor to wait on; -1 when the system gave none (waits then fall back to their time-outs).
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace tarrowind
