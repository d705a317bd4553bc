#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "discovery/adapter_list.h"
#include "discovery/core_events.h"
#include "discovery/device_record.h"
#include "discovery/static_arp.h"
#include "platform/adapter_table.h"
#include "platform/clock.h"
#include "platform/neighbour_table.h"
#include "platform/udp_sockets.h"
#include "platform/wake_event.h"

namespace tarrowind {

// Protocol time-outs; tests shorten them, the product uses the defaults.
struct DiscoveryTiming {
    std::uint32_t searchMs = 5000;
    std::uint32_t requeryMs = 3000;
    std::uint32_t acknowledgementMs = 5000;
};

// The system services discovery uses; each defaults to the running system's.
struct DiscoveryServices {
    AdapterTable* adapters = &AdapterTable::System();
    NeighbourTable* neighbours = &NeighbourTable::System();
    UdpSockets* sockets = &UdpSockets::System();
    Clock* clock = &Clock::System();
};

// The one object of the main window that owns the search, the static ARP entries and the adapter list.
class CControllerManager {
public:
    static constexpr std::uint16_t kTextProbePort = 10002;
    static constexpr std::uint16_t kBinaryProbePort = 23;
    static constexpr std::size_t kReceiveBufferSize = 1024;
    static constexpr int kSearchSocketBuffer = 4 * 1024 * 1024;
    static constexpr std::array<std::uint8_t, 4> kTextProbe{'i', 'n', 'f', 'o'};
    static constexpr std::array<std::uint8_t, 4> kBinaryProbe{0xFF, 0x04, 0x02, 0xFB};

    CControllerManager();
    explicit CControllerManager(const DiscoveryServices& services, DiscoveryTiming timing = {});
    // Stops and waits for the search thread, then removes every static ARP entry made.
    ~CControllerManager();
    CControllerManager(const CControllerManager&) = delete;
    CControllerManager& operator=(const CControllerManager&) = delete;

    // Sets who hears the search state and who gets each module found; either may be null.
    void Init(CoreEvents* progressWindow, CoreEvents* deviceWindow);
    // Starts the search thread. Must not be called while a search runs or actions are pending, nor from
    // inside the handler of a search-state event.
    void StartSearch();
    // The search ends after its current pass; requeries end too, until the next StartSearch.
    void Stop();
    bool IsStopped() const { return m_stop.load(); }
    // Waits for the search thread to end (the window's close; tests).
    void WaitForSearch();

    // Rebuilds the adapter list; 1 on success, 0 when the system's table cannot be read.
    int EnumerateAdapters();
    // One search on the current adapter list: 1 when it ran, 0 when the list was empty.
    int Search();

    // Asks one known module again and refreshes its record from its answer; 1 when it answered.
    int Requery(DeviceRecord* record);
    // Broadcasts the record's pending Dactyl settings request; 1 when the reader acknowledged it.
    int SendDactylSettings(const DeviceRecord* record);

    void AddStaticArp(const DeviceRecord& record) { m_arp.AddStaticArp(record); }
    void RemoveStaticArp(const DeviceRecord& record) { m_arp.RemoveStaticArp(record); }
    void RemoveAllStaticArp() { m_arp.RemoveAllStaticArp(); }
    const StaticArpSet& StaticArp() const { return m_arp; }

    const std::vector<AdapterRecord>& Adapters() const { return m_adapters; }
    const std::map<std::string, DeviceRecord>& FoundDevices() const { return m_found; }
    const DiscoveryTiming& Timing() const { return m_timing; }

private:
    void SearchThread();
    void SendSearchState(SearchState state, int seconds);
    int RequeryUnicast(DeviceRecord& record);
    int RequeryBroadcast(DeviceRecord& record);
    // Waits on `sockets` for a reply to `record` for the requery time, reporting progress.
    int AwaitRequeryReply(DeviceRecord& record, const std::vector<int>& sockets,
                          const std::vector<const AdapterRecord*>& adapterOfSocket);

    DiscoveryServices m_services;
    DiscoveryTiming m_timing;
    std::atomic<bool> m_stop{false};
    WakeEvent m_wake;  // signalled with the stop flag so blocked waits see it at once
    std::thread m_searchThread;
    std::atomic<CoreEvents*> m_progressWindow{nullptr};
    std::atomic<CoreEvents*> m_deviceWindow{nullptr};
    std::vector<AdapterRecord> m_adapters;
    std::map<std::string, DeviceRecord> m_found;
    StaticArpSet m_arp;
};

}  // namespace tarrowind
