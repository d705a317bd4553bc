#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "discovery/device_record.h"

namespace tarrowind {

// Starts `work` on a thread of its own; false when no thread could be started.
using WorkerStarter = std::function<bool(std::function<void()> work)>;

// The records waiting for or held by a worker: at most kMaxWorkers workers run, never two on one module
// address. A record whose address is busy, or that finds every worker busy, is parked until a worker
// takes it. The queue owns the workers' threads and joins them before it goes.
class JobQueue {
public:
    static constexpr int kMaxWorkers = 32;
    // What a worker does with the record it starts with; it then takes further records by TakeNext
    // until that returns false.
    using Work = std::function<void(DeviceRecord* record)>;

    // `startWorker` empty: a std::thread of the queue's.
    JobQueue(Work work, WorkerStarter startWorker);
    ~JobQueue();
    JobQueue(const JobQueue&) = delete;
    JobQueue& operator=(const JobQueue&) = delete;

    // Hands the record to a worker, or parks it; 0 when no worker can run it or the queue was closed.
    int Add(DeviceRecord* record);
    // The next parked record whose address is free, after `finishedAddress` was released. When there is
    // none the caller's worker ends: the running count is lowered in the same hold of the lock.
    // `finishedAddress` is empty when the worker has released its address already.
    bool TakeNext(DeviceRecord*& record, std::optional<std::uint32_t> finishedAddress);
    // Withdraws a parked record and frees its pending payload; false for records a worker has.
    bool Cancel(DeviceRecord* record);
    bool ReserveAddress(std::uint32_t address);
    // Frees a reserved address and starts the record parked for it, if any. When no worker can run that
    // record it is withdrawn from the queue and handed back in `refused` (else null).
    bool ReleaseAddress(std::uint32_t address, DeviceRecord** refused = nullptr);
    int JobCount() const;
    int RunningCount() const;
    // Blocks until no job is queued, parked or running.
    void WaitUntilIdle();
    // Ends the queue for good: nothing is added any more and no worker takes another record. The parked
    // records are withdrawn, their payloads freed, and returned. Safe from any thread.
    std::vector<DeviceRecord*> Close();
    bool Closed() const { return m_closed.load(); }
    // Set by Close; exchanges and waits that must end at once watch it.
    const std::atomic<bool>& ClosedFlag() const { return m_closed; }
    // Waits until no worker runs a job, then joins every worker thread started.
    void JoinWorkers();

private:
    bool StartWorker(DeviceRecord* record);
    void WorkerEnded(std::thread::id id);

    Work m_work;
    WorkerStarter m_startWorker;
    std::atomic<bool> m_closed{false};

    // All guarded by m_lock (re-entrant: ReleaseAddress calls Add).
    mutable std::recursive_mutex m_lock;
    std::condition_variable_any m_changed;
    int m_jobCount = 0;
    int m_runningCount = 0;
    std::set<std::uint32_t> m_busyAddresses;
    std::deque<DeviceRecord*> m_parked;

    // The workers' threads, started under the queue lock; a worker moves its own to the ended ones.
    std::mutex m_workerLock;
    std::map<std::thread::id, std::thread> m_workers;
    std::vector<std::thread> m_endedWorkers;
};

}  // namespace tarrowind
