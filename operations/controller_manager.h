#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "discovery/module_search.h"
#include "operations/job_queue.h"
#include "platform/clock.h"
#include "platform/http_client.h"
#include "platform/stoppable_http_client.h"

namespace tarrowind {

class KnownModules;

// The manager's time-outs and waits: the search's and those of the actions. Tests shorten them, the
// product uses the defaults.
struct ManagerTiming : SearchTiming {
    std::uint32_t settleMs = 4000;          // after an action that restarts the module
    std::uint32_t firmwarePauseMs = 20000;  // between two firmware files
    std::uint32_t pollIntervalMs = 250;     // between two firmware progress polls
    std::uint32_t progressStallMs = 120000; // a module whose progress does not move for this long failed
};

// The system services the manager uses; each defaults to the running system's.
struct ManagerServices : SearchServices {
    HttpClient* http = &HttpClient::System();
    // Modules' keys as first seen, checked before credentials go out; null: none is checked (tests).
    KnownModules* knownModules = nullptr;
    WorkerStarter startWorker;  // empty: a std::thread of the manager's, joined before it goes
};

// The one object of the main window that owns the search, the static ARP entries, the adapter list,
// the job queue and the firmware folder.
class CControllerManager {
public:
    static constexpr std::uint16_t kTextProbePort = ModuleSearch::kTextProbePort;
    static constexpr std::uint16_t kBinaryProbePort = ModuleSearch::kBinaryProbePort;
    static constexpr std::array<std::uint8_t, 4> kTextProbe = ModuleSearch::kTextProbe;
    static constexpr std::array<std::uint8_t, 4> kBinaryProbe = ModuleSearch::kBinaryProbe;

    CControllerManager();
    explicit CControllerManager(const ManagerServices& services, ManagerTiming timing = {});
    // Stops and waits for the search thread and every worker, then removes every static ARP entry made.
    ~CControllerManager();
    CControllerManager(const CControllerManager&) = delete;
    CControllerManager& operator=(const CControllerManager&) = delete;

    // The search side (ModuleSearch holds what each call does). Init sets who hears the search state
    // and who gets each module found. StartSearch must not be called while actions are pending.
    void Init(CoreEvents* progressWindow, CoreEvents* deviceWindow) { m_search.Init(progressWindow, deviceWindow); }
    bool StartSearch() { return m_search.StartSearch(); }
    void Stop() { m_search.Stop(); }
    bool IsStopped() const { return m_search.IsStopped(); }
    bool IsSearching() const { return m_search.IsSearching(); }
    void WaitForSearch() { m_search.WaitForSearch(); }
    int EnumerateAdapters() { return m_search.EnumerateAdapters(); }
    int Search() { return m_search.Search(); }
    bool SetSearchRanges(AddressRanges ranges, std::uint32_t probesPerSecond = kDefaultProbeRate)
    {
        return m_search.SetSearchRanges(std::move(ranges), probesPerSecond);
    }
    const AddressRanges& SearchRanges() const { return m_search.SearchRanges(); }
    std::uint32_t ProbeRate() const { return m_search.ProbeRate(); }
    std::uint64_t RangeProbesSent() const { return m_search.RangeProbesSent(); }
    std::uint32_t RangeProbingTookMs() const { return m_search.RangeProbingTookMs(); }
    std::uint32_t ProbingMs() const { return m_search.ProbingMs(); }
    std::uint32_t SearchDurationMs() const { return m_search.SearchDurationMs(); }
    int Requery(DeviceRecord* record) { return m_search.Requery(record); }
    // Sends the record's pending reader settings request; 0 when it has none.
    int SendDactylSettings(const DeviceRecord* record);
    int SendDactylSettings(const DeviceRecord& record, const DactylSettingsBytes& request)
    {
        return m_search.SendDactylSettings(record, request);
    }
    void AddStaticArp(const DeviceRecord& record) { m_search.AddStaticArp(record); }
    void RemoveStaticArp(const DeviceRecord& record) { m_search.RemoveStaticArp(record); }
    void RemoveAllStaticArp() { m_search.RemoveAllStaticArp(); }
    const StaticArpSet& StaticArp() const { return m_search.StaticArp(); }
    void LearnStaticArpRight(const DeviceRecord& record) { m_search.LearnStaticArpRight(record); }
    const std::vector<AdapterRecord>& Adapters() const { return m_search.Adapters(); }
    const std::map<std::string, DeviceRecord>& FoundDevices() const { return m_search.FoundDevices(); }

    // Job queue. At most kMaxWorkers workers run, never two on one module address.
    static constexpr int kMaxWorkers = JobQueue::kMaxWorkers;
    // Hands the record to a worker, or parks it; 0 when no record is given, no worker can run it or the
    // queue was stopped. A record whose address cannot be reached (IsUsableModuleAddress) is not queued
    // but ends at once in status ADDRESS_UNUSABLE, reported; only a reader's settings, which go out by
    // broadcast, are queued whatever its address.
    int QueueJob(DeviceRecord* record);
    // The next parked record whose address is free, after `finishedAddress` was released. When there is
    // none the caller's worker ends: the running count is lowered in the same hold of the lock.
    // `finishedAddress` is empty when the worker has released its address already.
    bool TakeNextJob(DeviceRecord*& record, std::optional<std::uint32_t> finishedAddress)
    {
        return m_queue.TakeNext(record, finishedAddress);
    }
    // Withdraws a parked record and frees its pending payload; false for records a worker has.
    bool CancelJob(DeviceRecord* record) { return m_queue.Cancel(record); }
    bool ReserveAddress(std::uint32_t address) { return m_queue.ReserveAddress(address); }
    // Frees a reserved address and starts the record parked for it, if any. When no worker can run that
    // record it is withdrawn from the queue and handed back in `refused` (else null) for the caller to
    // put back as it was.
    bool ReleaseAddress(std::uint32_t address, DeviceRecord** refused = nullptr)
    {
        return m_queue.ReleaseAddress(address, refused);
    }
    int GetJobCount() const { return m_queue.JobCount(); }
    int GetRunningCount() const { return m_queue.RunningCount(); }
    // Works on `record` and then on further records from TakeNextJob until none is left.
    void JobWorker(DeviceRecord* record);
    // Waits while moving the record's progress from `from` towards `to`, reporting every 10 ms.
    void WaitWithProgress(DeviceRecord* record, std::uint32_t milliseconds, std::int32_t from, std::int32_t to);
    // Blocks until no job is queued, parked or running (the command-line companion; tests).
    void WaitUntilIdle() { m_queue.WaitUntilIdle(); }
    // Ends the queue for good (the session or the process ends): the search is stopped, nothing is
    // queued any more, running exchanges and waits end at once and their workers finish as after a
    // failure. The parked records are withdrawn, their payloads freed, and returned for the caller to
    // put back. Safe from any thread.
    std::vector<DeviceRecord*> StopJobs();
    bool JobsStopped() const { return m_queue.Closed(); }

    // The management software's firmware folder ("" when it is not installed); ends with a separator.
    const std::string& FirmwareFolder() const { return m_firmwareFolder; }
    void SetFirmwareFolder(std::string folder) { m_firmwareFolder = std::move(folder); }
    HttpClient& Http() const { return *m_services.http; }
    KnownModules* KnownModuleKeys() const { return m_services.knownModules; }
    Clock& ClockService() const { return *m_services.clock; }

    const ManagerTiming& Timing() const { return m_timing; }

private:
    void WaitForModuleToReturn(DeviceRecord& record);

    ManagerServices m_services;
    ManagerTiming m_timing;
    JobQueue m_queue;
    StoppableHttpClient m_http;  // the services' client, cut short when the queue is closed
    ModuleSearch m_search;
    std::string m_firmwareFolder;
};

}  // namespace tarrowind
