#include "platform/wake_event.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace tarrowind {

WakeEvent::WakeEvent() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeEvent::~WakeEvent()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void WakeEvent::Signal()
{
    if (m_fd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(m_fd, &one, sizeof one);
    }
}

void WakeEvent::Reset()
{
    if (m_fd >= 0) {
        std::uint64_t value;
        [[maybe_unused]] const auto n = ::read(m_fd, &value, sizeof value);
    }
}

}  // namespace tarrowind
