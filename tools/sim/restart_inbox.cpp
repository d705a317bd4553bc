#include "restart_inbox.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

namespace tarrowind::sim {

RestartInbox::RestartInbox()
{
    m_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_fd < 0) throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
}

RestartInbox::~RestartInbox()
{
    close(m_fd);
}

void RestartInbox::post(StartRestart request)
{
    {
        std::lock_guard guard(m_lock);
        m_waiting.push_back(std::move(request));
    }
    const std::uint64_t one = 1;
    // A full counter still leaves the descriptor readable, which is all the loop needs.
    (void)!write(m_fd, &one, sizeof one);
}

std::vector<StartRestart> RestartInbox::take()
{
    std::uint64_t count = 0;
    (void)!read(m_fd, &count, sizeof count);
    std::lock_guard guard(m_lock);
    return std::exchange(m_waiting, {});
}

} // namespace tarrowind::sim
