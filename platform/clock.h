#pragma once

#include <cstdint>

namespace tarrowind {

// Millisecond tick count and sleeping, replaceable so that time-outs can be tested without waiting.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps around like a 32-bit tick counter.
    virtual std::uint32_t TickMs() = 0;
    virtual void SleepMs(std::uint32_t ms) = 0;

    static Clock& System();
};

}  // namespace tarrowind
