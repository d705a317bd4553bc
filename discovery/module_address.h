#pragma once

#include <cstdint>

namespace tarrowind {

// Whether a module's address can be reached by unicast. A module without a lease says 0.0.0.0; the
// "this network" block, loopback, multicast and the limited broadcast are never one module's address,
// and a request sent there reaches this computer or every host instead. Header-only, so that every
// layer that sends to a module can refuse the same addresses.
constexpr bool IsUsableModuleAddress(std::uint32_t networkOrder)
{
    // The first dotted number is the lowest-addressed byte.
    const std::uint8_t first = static_cast<std::uint8_t>(networkOrder & 0xFFu);
    return first != 0 && first != 127 && (first & 0xF0u) != 0xE0u && networkOrder != 0xFFFFFFFFu;
}

}  // namespace tarrowind
