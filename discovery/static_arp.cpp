#include "discovery/static_arp.h"

namespace tarrowind {

void StaticArpSet::AddStaticArp(const DeviceRecord& record)
{
    if (record.adapterIndex == kBroadcastAdapterIndex) {
        return;  // no interface to attach it to; the exchange goes on without
    }
    if (!record.addressConfirmed) {
        return;  // a reply naming another host's address must never point the PC at that MAC
    }
    if (m_refused.load()) {
        return;
    }
    const std::uint64_t key = Key(record.adapterIndex, record.ip);
    {
        std::lock_guard hold(m_lock);
        const bool ours = m_entries.count(key) != 0;
        if (!ours && m_table.Lookup(record.adapterIndex, record.ip) == NeighbourKind::Permanent) {
            return;  // the user's own configuration
        }
        const NeighbourChange change = m_table.MakePermanent(record.adapterIndex, record.ip, record.mac);
        if (change == NeighbourChange::Made) {
            m_entries.insert(key);
        }
        if (change != NeighbourChange::Refused || m_refused.exchange(true)) {
            return;
        }
    }
    if (m_onRefused) {
        m_onRefused();
    }
}

void StaticArpSet::RemoveStaticArp(const DeviceRecord& record)
{
    const std::uint64_t key = Key(record.adapterIndex, record.ip);
    std::lock_guard hold(m_lock);
    const bool ours = m_entries.count(key) != 0;
    if (!ours && m_table.Lookup(record.adapterIndex, record.ip) == NeighbourKind::Permanent) {
        return;
    }
    // A dynamic entry is deleted too, so the next exchange learns the module's address afresh.
    if (m_table.Remove(record.adapterIndex, record.ip)) {
        m_entries.erase(key);
    }
}

void StaticArpSet::RemoveAllStaticArp()
{
    std::lock_guard hold(m_lock);
    for (const std::uint64_t key : m_entries) {
        m_table.Remove(static_cast<std::uint32_t>(key >> 32), static_cast<std::uint32_t>(key & 0xFFFFFFFFu));
    }
    m_entries.clear();
}

std::set<std::uint64_t> StaticArpSet::Entries() const
{
    std::lock_guard hold(m_lock);
    return m_entries;
}

}  // namespace tarrowind
