#pragma once

#include <cstdint>
#include <mutex>
#include <set>

#include "discovery/device_record.h"
#include "platform/neighbour_table.h"

namespace tarrowind {

// The static neighbour entries this program made for the modules it talks to unicast, so that all of
// them can be removed at the next search and at exit. The user's own permanent entries are never
// replaced or deleted.
class StaticArpSet {
public:
    explicit StaticArpSet(NeighbourTable& table) : m_table(table) {}

    void AddStaticArp(const DeviceRecord& record);
    void RemoveStaticArp(const DeviceRecord& record);
    void RemoveAllStaticArp();

    // Keys of the entries made and not removed yet: interface index high, address low.
    std::set<std::uint64_t> Entries() const;

    static std::uint64_t Key(std::uint32_t interfaceIndex, std::uint32_t address)
    {
        return (static_cast<std::uint64_t>(interfaceIndex) << 32) | address;
    }

private:
    NeighbourTable& m_table;
    mutable std::mutex m_lock;  // held across the system call and the change of the set
    std::set<std::uint64_t> m_entries;
};

}  // namespace tarrowind
