// Any datagram through the Dactyl acknowledgement check.
#include <cstddef>
#include <cstdint>

#include "discovery/dactyl_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text = tarrowind::AcknowledgedMacText(data, static_cast<std::int32_t>(size));
    if (!text.empty() && text.size() != 17) {
        __builtin_trap();
    }
    return 0;
}
