#include "platform/module_address.h"

namespace tarrowind {
namespace {

// The first dotted number sits in the lowest-addressed byte.
std::uint32_t HostOrder(std::uint32_t networkOrder)
{
    const auto* b = reinterpret_cast<const std::uint8_t*>(&networkOrder);
    return static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
           static_cast<std::uint32_t>(b[2]) << 8 | b[3];
}

}  // namespace

bool IsModuleAddress(std::uint32_t address, std::span<const LocalAddress> own)
{
    const std::uint32_t a = HostOrder(address);
    if (a == 0 || a == 0xFFFFFFFFu || (a >> 24) == 127 || (a >> 28) == 0xE) {
        return false;
    }
    for (const LocalAddress& local : own) {
        if (address == local.address) {
            return false;
        }
        // A /31 or /32 has no broadcast address of its own.
        const std::uint32_t mask = HostOrder(local.mask);
        if (mask != 0 && (~mask >> 1) != 0 && (a & mask) == (HostOrder(local.address) & mask) && (a | mask) == 0xFFFFFFFFu) {
            return false;
        }
    }
    return true;
}

}  // namespace tarrowind
