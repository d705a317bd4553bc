#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>

#include "discovery/device_record.h"
#include "platform/neighbour_registry.h"
#include "platform/neighbour_table.h"

namespace tarrowind {

// The static neighbour entries this program made for the modules it talks to unicast, so that all of
// them can be removed at the next search and at exit. The user's own permanent entries are never
// replaced or deleted. A process that may not change the table (a normal user) talks to the modules
// without entries, as it does when the system refuses one; `onRefused` hears of it once.
// With a registry every entry is noted there before it is made and forgotten once removed, so that what
// a killed run left behind is removed by the next one; an entry that cannot be noted is not made.
class StaticArpSet {
public:
    explicit StaticArpSet(NeighbourTable& table, std::function<void()> onRefused = {},
                          NeighbourRegistry* registry = nullptr)
        : m_table(table), m_onRefused(std::move(onRefused)), m_registry(registry)
    {
    }

    void AddStaticArp(const DeviceRecord& record);
    void RemoveStaticArp(const DeviceRecord& record);
    // Removes every entry made, and those that runs which have ended left in this table: each only
    // while the table still holds it as made (permanent, the same hardware address).
    void RemoveAllStaticArp();

    // Keys of the entries made and not removed yet: interface index high, address low.
    std::set<std::uint64_t> Entries() const;
    // The system refused the right to make entries; none is tried any more.
    bool Refused() const { return m_refused.load(); }
    // The system made an entry for this process: it has the right.
    bool Granted() const { return m_granted.load(); }
    // When neither is known yet, learns which by making `record`'s entry and removing it at once; nothing
    // goes on the network. Under the lock, so no entry a worker makes meanwhile is replaced. Left unknown
    // where no entry would be made (no local adapter, the user's own entry, a failure).
    void LearnRight(const DeviceRecord& record);

    static std::uint64_t Key(std::uint32_t interfaceIndex, std::uint32_t address)
    {
        return (static_cast<std::uint64_t>(interfaceIndex) << 32) | address;
    }

private:
    NeighbourTable& m_table;
    std::function<void()> m_onRefused;  // called without the lock: it may wait for the window thread
    NeighbourRegistry* m_registry;
    std::atomic<bool> m_refused{false};
    std::atomic<bool> m_granted{false};
    mutable std::mutex m_lock;  // held across the system call and the change of the set
    std::set<std::uint64_t> m_entries;
};

}  // namespace tarrowind
