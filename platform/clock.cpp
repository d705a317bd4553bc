#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace tarrowind {
namespace {

class SteadyClock final : public Clock {
public:
    std::uint32_t TickMs() override
    {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    void SleepMs(std::uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

}  // namespace

Clock& Clock::System()
{
    static SteadyClock clock;
    return clock;
}

}  // namespace tarrowind
