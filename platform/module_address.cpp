#include "platform/module_address.h"

#include <algorithm>
#include <optional>
#include <string>

#include "platform/adapter_table.h"

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

std::optional<std::uint32_t> DottedAddress(const std::string& text)
{
    std::uint32_t value = 0;
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (at >= text.size() || text[at++] != '.')) {
            return std::nullopt;
        }
        unsigned number = 0;
        std::size_t digits = 0;
        const std::size_t start = at;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 4; ++at, ++digits) {
            number = number * 10 + static_cast<unsigned>(text[at] - '0');
        }
        // A leading zero is refused: the address line's reader may take such a number as octal.
        if (digits == 0 || number > 255 || (digits > 1 && text[start] == '0')) {
            return std::nullopt;
        }
        value |= number << (8 * part);
    }
    if (at != text.size()) {
        return std::nullopt;
    }
    // The first number belongs in the lowest-addressed byte.
    std::uint32_t network = 0;
    auto* bytes = reinterpret_cast<std::uint8_t*>(&network);
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return network;
}

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

bool MayConnectTo(std::uint32_t address, std::span<const LocalAddress> own, bool allowLoopback)
{
    if (allowLoopback && (HostOrder(address) >> 24) == 127) {
        return std::none_of(own.begin(), own.end(), [&](const LocalAddress& l) { return l.address == address; });
    }
    return IsModuleAddress(address, own);
}

std::vector<LocalAddress> OwnAddresses(AdapterTable& table)
{
    std::vector<LocalAddress> own;
    for (const SystemAdapter& adapter : table.Read().value_or(std::vector<SystemAdapter>{})) {
        for (const AdapterAddress& a : adapter.addresses) {
            if (const auto address = DottedAddress(a.ipText)) {
                own.push_back(LocalAddress{*address, DottedAddress(a.maskText).value_or(0)});
            }
        }
    }
    return own;
}

}  // namespace tarrowind
