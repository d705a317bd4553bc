#include "platform/module_address.h"

#include <algorithm>

#include "platform/adapter_table.h"

namespace tarrowind {

bool IsModuleAddress(Ipv4Address address, std::span<const LocalAddress> own)
{
    const std::uint32_t a = address.HostOrder();
    if (a == 0 || a == 0xFFFFFFFFu || (a >> 24) == 127 || (a >> 28) == 0xE) {
        return false;
    }
    for (const LocalAddress& local : own) {
        if (address == local.address) {
            return false;
        }
        // A /31 or /32 has no broadcast address of its own.
        const std::uint32_t mask = local.mask.HostOrder();
        if (mask != 0 && (~mask >> 1) != 0 && (a & mask) == (local.address.HostOrder() & mask) && (a | mask) == 0xFFFFFFFFu) {
            return false;
        }
    }
    return true;
}

bool MayConnectTo(Ipv4Address address, std::span<const LocalAddress> own, bool allowLoopback)
{
    if (allowLoopback && (address.HostOrder() >> 24) == 127) {
        return std::none_of(own.begin(), own.end(), [&](const LocalAddress& l) { return l.address == address; });
    }
    return IsModuleAddress(address, own);
}

std::vector<LocalAddress> OwnAddresses(AdapterTable& table)
{
    std::vector<LocalAddress> own;
    for (const SystemAdapter& adapter : table.Read().value_or(std::vector<SystemAdapter>{})) {
        for (const AdapterAddress& a : adapter.addresses) {
            if (const auto address = Ipv4Address::FromText(a.ipText)) {
                own.push_back(LocalAddress{*address, Ipv4Address::FromText(a.maskText).value_or(Ipv4Address())});
            }
        }
    }
    return own;
}

}  // namespace tarrowind
