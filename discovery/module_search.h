#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "discovery/adapter_list.h"
#include "discovery/address_ranges.h"
#include "discovery/core_events.h"
#include "discovery/dactyl_settings.h"
#include "discovery/device_record.h"
#include "discovery/static_arp.h"
#include "platform/adapter_table.h"
#include "platform/clock.h"
#include "platform/neighbour_table.h"
#include "platform/udp_sockets.h"
#include "platform/wake_event.h"

namespace tarrowind {

// The search's time-outs; tests shorten them, the product uses the defaults.
struct SearchTiming {
    std::uint32_t searchMs = 5000;
    std::uint32_t rangeTailMs = 2000;       // listening after the last range probe
    std::uint32_t requeryMs = 3000;
    std::uint32_t acknowledgementMs = 5000;
};

// The system services the search uses; each defaults to the running system's.
struct SearchServices {
    AdapterTable* adapters = &AdapterTable::System();
    NeighbourTable* neighbours = &NeighbourTable::System();
    // Where made neighbour entries are noted; null: the user's file when `neighbours` is the system's
    // table, none for any other table.
    NeighbourRegistry* neighbourRegistry = nullptr;
    UdpSockets* sockets = &UdpSockets::System();
    Clock* clock = &Clock::System();
};

// Everything that talks UDP to modules: the search on the adapters (and address ranges), the requery of
// one known module, a reader's settings broadcast, and the static ARP entries made for them.
class ModuleSearch {
public:
    static constexpr std::uint16_t kTextProbePort = 10002;
    static constexpr std::uint16_t kBinaryProbePort = 23;
    static constexpr std::size_t kReceiveBufferSize = 1024;
    static constexpr int kSearchSocketBuffer = 16 * 1024 * 1024;
    static constexpr std::array<std::uint8_t, 4> kTextProbe{'i', 'n', 'f', 'o'};
    static constexpr std::array<std::uint8_t, 4> kBinaryProbe{0xFF, 0x04, 0x02, 0xFB};
    static constexpr const char* kRoutedAdapterName = "Routed";

    explicit ModuleSearch(const SearchServices& services, SearchTiming timing = {});
    // Stops and waits for the search thread, then removes every static ARP entry made.
    ~ModuleSearch();
    ModuleSearch(const ModuleSearch&) = delete;
    ModuleSearch& operator=(const ModuleSearch&) = delete;

    // Sets who hears the search state (and that neighbour entries were refused) and who gets each module
    // found; either may be null.
    void Init(CoreEvents* progressWindow, CoreEvents* deviceWindow);
    // Starts the search thread; false (nothing started) while the previous search has not ended, so that
    // the caller never waits for a thread that may be waiting for the caller.
    bool StartSearch();
    // The running search ends after its current pass, and so does every requery running now; requeries
    // started later are not affected.
    void Stop();
    // Stops for good: also every requery started from now on ends after its first pass. Safe from any thread.
    void Close();
    bool IsStopped() const { return m_stop.load(); }
    bool IsSearching() const { return m_searchRunning.load(); }
    // Waits for the search thread to end (the window's close; tests).
    void WaitForSearch();

    // Rebuilds the adapter list; 1 on success, 0 when the system's table cannot be read.
    int EnumerateAdapters();
    // One search on the current adapter list: 1 when it ran, 0 when the list was empty.
    int Search();
    // From the next search on, every address of `ranges` is also probed by unicast, `probesPerSecond`
    // datagrams a second, while replies are listened for; empty ranges: broadcasts only. False (nothing
    // changed) for a rate outside kMinProbeRate..kMaxProbeRate or ranges that AreProbeableRanges refuses.
    // Not to be called while a search runs.
    bool SetSearchRanges(AddressRanges ranges, std::uint32_t probesPerSecond = kDefaultProbeRate);
    const AddressRanges& SearchRanges() const { return m_ranges; }
    std::uint32_t ProbeRate() const { return m_probeRate; }
    // Unicast datagrams the last search sent to range addresses (both probes counted).
    std::uint64_t RangeProbesSent() const { return m_rangeProbesSent.load(); }
    // Milliseconds from the last search's start until its last range probe was tried.
    std::uint32_t RangeProbingTookMs() const { return m_rangeProbingTookMs.load(); }
    // How long sending the range probes takes at the set rate, and how long the next search lasts: the
    // normal search time, or the probing and a listening tail when that is longer.
    std::uint32_t ProbingMs() const;
    std::uint32_t SearchDurationMs() const;

    // Asks one known module again and refreshes its record from its answer; 1 when it answered.
    int Requery(DeviceRecord* record);
    // Broadcasts a settings request to the record's reader; 1 when the reader acknowledged it. Nothing is
    // sent to a reader whose address is not confirmed.
    int SendDactylSettings(const DeviceRecord& record, const DactylSettingsBytes& request);

    void AddStaticArp(const DeviceRecord& record) { m_arp.AddStaticArp(record); }
    void RemoveStaticArp(const DeviceRecord& record) { m_arp.RemoveStaticArp(record); }
    void RemoveAllStaticArp() { m_arp.RemoveAllStaticArp(); }
    const StaticArpSet& StaticArp() const { return m_arp; }
    void LearnStaticArpRight(const DeviceRecord& record) { m_arp.LearnRight(record); }

    const std::vector<AdapterRecord>& Adapters() const { return m_adapters; }
    const std::map<std::string, DeviceRecord>& FoundDevices() const { return m_found; }

private:
    void SearchThread();
    void SendSearchState(SearchState state, int seconds);
    // The local adapter (not the Broadcast one) whose subnet holds `address` (network order), or null.
    const AdapterRecord* AdapterForAddress(std::uint32_t address) const;
    // A reply to a range probe belongs to the adapter of its module's subnet, else it came through a router.
    void AttributeRangeReply(DeviceRecord& record) const;
    // One datagram of the search from `sender`, on the socket of `adapterSlot` (the adapter count: the
    // range socket): the module is stored and reported when it is new to this search, or when it was
    // stored with an unconfirmed address and this reply confirms it.
    void TakeReply(std::span<const std::uint8_t> datagram, int length, std::size_t adapterSlot,
                   std::uint32_t sender);
    int RequeryUnicast(DeviceRecord& record, std::span<const std::uint8_t> probe, std::uint16_t port);
    int RequeryBroadcast(DeviceRecord& record);
    // Waits on `sockets` for a reply to `record` for the requery time, reporting progress. Only a reply
    // that came from the address it names counts, and with `expectedFrom` (not 0) only one from there.
    int AwaitRequeryReply(DeviceRecord& record, const std::vector<int>& sockets,
                          const std::vector<const AdapterRecord*>& adapterOfSocket, std::uint32_t expectedFrom);

    SearchServices m_services;
    SearchTiming m_timing;
    std::atomic<bool> m_stop{false};              // the search's; cleared when the next one starts
    std::atomic<std::uint32_t> m_stopCount{0};    // Stop calls so far: a requery ends when it changes
    std::atomic<bool> m_closed{false};            // Close was called: no requery waits any more
    std::atomic<bool> m_searchRunning{false};     // until the search thread has sent its last event
    WakeEvent m_wake;  // signalled with the stop flag so blocked waits see it at once
    std::thread m_searchThread;
    std::atomic<CoreEvents*> m_progressWindow{nullptr};
    std::atomic<CoreEvents*> m_deviceWindow{nullptr};
    std::vector<AdapterRecord> m_adapters;
    std::map<std::string, DeviceRecord> m_found;
    StaticArpSet m_arp;
    AddressRanges m_ranges;
    std::uint32_t m_probeRate = kDefaultProbeRate;
    std::atomic<std::uint64_t> m_rangeProbesSent{0};
    std::atomic<std::uint32_t> m_rangeProbingTookMs{0};
};

}  // namespace tarrowind
