#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "discovery/adapter_list.h"
#include "discovery/address_ranges.h"
#include "discovery/core_events.h"
#include "discovery/device_record.h"
#include "discovery/static_arp.h"
#include "platform/adapter_table.h"
#include "platform/clock.h"
#include "platform/http_client.h"
#include "platform/neighbour_table.h"
#include "platform/stoppable_http_client.h"
#include "platform/udp_sockets.h"
#include "platform/wake_event.h"

namespace tarrowind {

class KnownModules;

// Protocol time-outs and waits; tests shorten them, the product uses the defaults.
struct ManagerTiming {
    std::uint32_t searchMs = 5000;
    std::uint32_t rangeTailMs = 2000;       // listening after the last range probe
    std::uint32_t requeryMs = 3000;
    std::uint32_t acknowledgementMs = 5000;
    std::uint32_t settleMs = 4000;          // after an action that restarts the module
    std::uint32_t firmwarePauseMs = 20000;  // between two firmware files
    std::uint32_t pollIntervalMs = 250;     // between two firmware progress polls
    std::uint32_t progressStallMs = 120000; // a module whose progress does not move for this long failed
};

// Starts `work` on a thread of its own; false when no thread could be started.
using WorkerStarter = std::function<bool(std::function<void()> work)>;

// The system services the manager uses; each defaults to the running system's.
struct ManagerServices {
    AdapterTable* adapters = &AdapterTable::System();
    NeighbourTable* neighbours = &NeighbourTable::System();
    // Where made neighbour entries are noted; null: the user's file when `neighbours` is the system's
    // table, none for any other table.
    NeighbourRegistry* neighbourRegistry = nullptr;
    UdpSockets* sockets = &UdpSockets::System();
    Clock* clock = &Clock::System();
    HttpClient* http = &HttpClient::System();
    // Modules' keys as first seen, checked before credentials go out; null: none is checked (tests).
    KnownModules* knownModules = nullptr;
    WorkerStarter startWorker;  // empty: a std::thread of the manager's, joined before it goes
};

// The one object of the main window that owns the search, the static ARP entries, the adapter list,
// the job queue and the firmware folder.
class CControllerManager {
public:
    static constexpr std::uint16_t kTextProbePort = 10002;
    static constexpr std::uint16_t kBinaryProbePort = 23;
    static constexpr std::size_t kReceiveBufferSize = 1024;
    static constexpr int kSearchSocketBuffer = 16 * 1024 * 1024;
    static constexpr std::array<std::uint8_t, 4> kTextProbe{'i', 'n', 'f', 'o'};
    static constexpr std::array<std::uint8_t, 4> kBinaryProbe{0xFF, 0x04, 0x02, 0xFB};
    static constexpr const char* kRoutedAdapterName = "Routed";

    CControllerManager();
    explicit CControllerManager(const ManagerServices& services, ManagerTiming timing = {});
    // Stops and waits for the search thread and every worker, then removes every static ARP entry made.
    ~CControllerManager();
    CControllerManager(const CControllerManager&) = delete;
    CControllerManager& operator=(const CControllerManager&) = delete;

    // Sets who hears the search state (and that neighbour entries were refused) and who gets each module
    // found; either may be null.
    void Init(CoreEvents* progressWindow, CoreEvents* deviceWindow);
    // Starts the search thread; false (nothing started) while the previous search has not ended, so that
    // the caller never waits for a thread that may be waiting for the caller. Must not be called while
    // actions are pending.
    bool StartSearch();
    // The running search ends after its current pass, and so does every requery running now; requeries
    // started later are not affected.
    void Stop();
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
    // Broadcasts the record's pending Dactyl settings request; 1 when the reader acknowledged it.
    int SendDactylSettings(const DeviceRecord* record);

    void AddStaticArp(const DeviceRecord& record) { m_arp.AddStaticArp(record); }
    void RemoveStaticArp(const DeviceRecord& record) { m_arp.RemoveStaticArp(record); }
    void RemoveAllStaticArp() { m_arp.RemoveAllStaticArp(); }
    const StaticArpSet& StaticArp() const { return m_arp; }
    void LearnStaticArpRight(const DeviceRecord& record) { m_arp.LearnRight(record); }

    // Job queue. At most kMaxWorkers workers run, never two on one module address.
    static constexpr int kMaxWorkers = 32;
    // Hands the record to a worker, or parks it; 0 when no record is given, no worker can run it or the
    // queue was stopped. A record whose address cannot be reached (IsUsableModuleAddress) is not queued
    // but ends at once in status ADDRESS_UNUSABLE, reported; only a reader's settings, which go out by
    // broadcast, are queued whatever its address.
    int QueueJob(DeviceRecord* record);
    // The next parked record whose address is free, after `finishedAddress` was released. When there is
    // none the caller's worker ends: the running count is lowered in the same hold of the lock.
    // `finishedAddress` is empty when the worker has released its address already.
    bool TakeNextJob(DeviceRecord*& record, std::optional<std::uint32_t> finishedAddress);
    // Withdraws a parked record and frees its pending payload; false for records a worker has.
    bool CancelJob(DeviceRecord* record);
    bool ReserveAddress(std::uint32_t address);
    // Frees a reserved address and starts the record parked for it, if any. When no worker can run that
    // record it is withdrawn from the queue and handed back in `refused` (else null) for the caller to
    // put back as it was.
    bool ReleaseAddress(std::uint32_t address, DeviceRecord** refused = nullptr);
    int GetJobCount() const;
    int GetRunningCount() const;
    // Works on `record` and then on further records from TakeNextJob until none is left.
    void JobWorker(DeviceRecord* record);
    // Waits while moving the record's progress from `from` towards `to`, reporting every 10 ms.
    void WaitWithProgress(DeviceRecord* record, std::uint32_t milliseconds, std::int32_t from, std::int32_t to);
    // Blocks until no job is queued, parked or running (the command-line companion; tests).
    void WaitUntilIdle();
    // Ends the queue for good (the session or the process ends): the search is stopped, nothing is
    // queued any more, running exchanges and waits end at once and their workers finish as after a
    // failure. The parked records are withdrawn, their payloads freed, and returned for the caller to
    // put back. Safe from any thread.
    std::vector<DeviceRecord*> StopJobs();
    bool JobsStopped() const { return m_closing.load(); }

    // The management software's firmware folder ("" when it is not installed); ends with a separator.
    const std::string& FirmwareFolder() const { return m_firmwareFolder; }
    void SetFirmwareFolder(std::string folder) { m_firmwareFolder = std::move(folder); }
    HttpClient& Http() const { return *m_services.http; }
    KnownModules* KnownModuleKeys() const { return m_services.knownModules; }
    Clock& ClockService() const { return *m_services.clock; }

    const std::vector<AdapterRecord>& Adapters() const { return m_adapters; }
    const std::map<std::string, DeviceRecord>& FoundDevices() const { return m_found; }
    const ManagerTiming& Timing() const { return m_timing; }

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
    bool StartWorker(DeviceRecord* record);
    void WorkerEnded(std::thread::id id);
    // Joins every worker thread started; called once none runs a job any more.
    void JoinWorkers();
    void RunStep(DeviceRecord& record);
    void WaitForModuleToReturn(DeviceRecord& record);

    ManagerServices m_services;
    ManagerTiming m_timing;
    std::atomic<bool> m_stop{false};              // the search's; cleared when the next one starts
    std::atomic<std::uint32_t> m_stopCount{0};    // Stop calls so far: a requery ends when it changes
    std::atomic<bool> m_closing{false};           // the queue was stopped: no exchange or wait goes on
    StoppableHttpClient m_http;                   // the services' client, cut short by m_closing
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

    // Job queue state, all guarded by m_queueLock (re-entrant: ReleaseAddress calls QueueJob).
    mutable std::recursive_mutex m_queueLock;
    std::condition_variable_any m_queueChanged;
    int m_jobCount = 0;
    int m_runningCount = 0;
    std::set<std::uint32_t> m_busyAddresses;
    std::deque<DeviceRecord*> m_parked;

    // The workers' threads, started under the queue lock; a worker moves its own to the ended ones.
    std::mutex m_workerLock;
    std::map<std::thread::id, std::thread> m_workers;
    std::vector<std::thread> m_endedWorkers;

    std::string m_firmwareFolder;
};

}  // namespace tarrowind
