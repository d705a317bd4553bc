#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace tarrowind {

enum class NeighbourKind {
    None,       // no entry for that interface and address
    Dynamic,    // learnt by the system; may be replaced or deleted freely
    Permanent,  // configured: permanent or no-ARP
};

struct NeighbourEntry {
    NeighbourKind kind = NeighbourKind::None;
    std::optional<std::array<std::uint8_t, 6>> hardwareAddress;  // when the system gave one
};

enum class NeighbourChange {
    Made,
    Refused,  // this process may not change the table (a normal user's); no later change will do better
    Failed,
};

// The system's IPv4 neighbour (ARP) table. Addresses are in network byte order. Replaceable for tests.
class NeighbourTable {
public:
    virtual ~NeighbourTable() = default;
    virtual NeighbourKind Lookup(std::uint32_t interfaceIndex, std::uint32_t address) = 0;
    // As Lookup, with the entry's hardware address.
    virtual NeighbourEntry Find(std::uint32_t interfaceIndex, std::uint32_t address)
    {
        return NeighbourEntry{Lookup(interfaceIndex, address), std::nullopt};
    }
    // Creates or replaces a permanent entry; true when the system accepted it.
    virtual bool AddPermanent(std::uint32_t interfaceIndex, std::uint32_t address,
                              const std::array<std::uint8_t, 6>& hardwareAddress) = 0;
    // As AddPermanent, telling a refused right apart from other failures.
    virtual NeighbourChange MakePermanent(std::uint32_t interfaceIndex, std::uint32_t address,
                                          const std::array<std::uint8_t, 6>& hardwareAddress)
    {
        return AddPermanent(interfaceIndex, address, hardwareAddress) ? NeighbourChange::Made : NeighbourChange::Failed;
    }
    // Deletes the entry of any kind; true when the system deleted one.
    virtual bool Remove(std::uint32_t interfaceIndex, std::uint32_t address) = 0;

    // rtnetlink on the running system; changes need CAP_NET_ADMIN.
    static NeighbourTable& System();
};

}  // namespace tarrowind
