#pragma once

#include "udp_responder.h"

#include <mutex>
#include <vector>

namespace tarrowind::sim {

// Restarts asked for by the web server's threads, handed to the event loop, which owns the timers
// and the kernel interfaces that a restart touches. The descriptor polls readable while any wait.
class RestartInbox {
public:
    RestartInbox();
    ~RestartInbox();
    RestartInbox(const RestartInbox&) = delete;
    RestartInbox& operator=(const RestartInbox&) = delete;

    int fd() const { return m_fd; }
    void post(StartRestart request);
    std::vector<StartRestart> take();

private:
    int m_fd = -1;
    std::mutex m_lock;
    std::vector<StartRestart> m_waiting;
};

} // namespace tarrowind::sim
