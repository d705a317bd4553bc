#include "discovery/static_arp.h"

#include "discovery/module_address.h"

namespace tarrowind {

void StaticArpSet::AddStaticArp(const DeviceRecord& record)
{
    if (record.adapterIndex == kBroadcastAdapterIndex || !IsUsableModuleAddress(record.ip)) {
        return;  // no interface to attach it to, or no address a module can have: the exchange goes on without
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
        // Noted first: a run killed right after the entry was made still leaves a note of it.
        if (m_registry != nullptr && !m_registry->Note(record.adapterIndex, record.ip, record.mac)) {
            return;
        }
        const NeighbourChange change = m_table.MakePermanent(record.adapterIndex, record.ip, record.mac);
        if (change == NeighbourChange::Made) {
            m_entries.insert(key);
            m_granted.store(true);
        } else if (m_registry != nullptr && !ours) {
            m_registry->Forget(record.adapterIndex, record.ip);
        }
        if (change != NeighbourChange::Refused || m_refused.exchange(true)) {
            return;
        }
    }
    if (m_onRefused) {
        m_onRefused();
    }
}

void StaticArpSet::LearnRight(const DeviceRecord& record)
{
    if (record.adapterIndex == kBroadcastAdapterIndex || !IsUsableModuleAddress(record.ip) ||
        !record.addressConfirmed) {
        return;
    }
    {
        std::lock_guard hold(m_lock);
        if (m_granted.load() || m_refused.load() ||
            m_table.Lookup(record.adapterIndex, record.ip) == NeighbourKind::Permanent) {
            return;  // known, or the user's own entry
        }
        if (m_registry != nullptr && !m_registry->Note(record.adapterIndex, record.ip, record.mac)) {
            return;
        }
        const NeighbourChange change = m_table.MakePermanent(record.adapterIndex, record.ip, record.mac);
        if (change == NeighbourChange::Made) {
            m_granted.store(true);
            m_table.Remove(record.adapterIndex, record.ip);
        }
        if (m_registry != nullptr) {
            m_registry->Forget(record.adapterIndex, record.ip);
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
    if (!IsUsableModuleAddress(record.ip)) {
        return;  // never made
    }
    const std::uint64_t key = Key(record.adapterIndex, record.ip);
    std::lock_guard hold(m_lock);
    const bool ours = m_entries.count(key) != 0;
    if (!ours && m_table.Lookup(record.adapterIndex, record.ip) == NeighbourKind::Permanent) {
        return;
    }
    // A dynamic entry is deleted too, so the next exchange learns the module's address afresh.
    if (m_table.Remove(record.adapterIndex, record.ip) && m_entries.erase(key) != 0 && m_registry != nullptr) {
        m_registry->Forget(record.adapterIndex, record.ip);
    }
}

void StaticArpSet::RemoveAllStaticArp()
{
    std::lock_guard hold(m_lock);
    for (const std::uint64_t key : m_entries) {
        const auto interfaceIndex = static_cast<std::uint32_t>(key >> 32);
        const auto address = static_cast<std::uint32_t>(key & 0xFFFFFFFFu);
        m_table.Remove(interfaceIndex, address);
        if (m_registry != nullptr) {
            m_registry->Forget(interfaceIndex, address);
        }
    }
    m_entries.clear();
    if (m_registry == nullptr) {
        return;
    }
    m_registry->SweepAbandoned([this](const MadeNeighbourEntry& left) {
        // Anything else there now is the user's or the system's.
        const NeighbourEntry now = m_table.Find(left.interfaceIndex, left.address);
        if (now.kind == NeighbourKind::Permanent && now.hardwareAddress == left.hardwareAddress) {
            m_table.Remove(left.interfaceIndex, left.address);
        }
    });
}

std::set<std::uint64_t> StaticArpSet::Entries() const
{
    std::lock_guard hold(m_lock);
    return m_entries;
}

}  // namespace tarrowind
