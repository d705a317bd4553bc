#include <algorithm>
#include <system_error>
#include <thread>

#include "operations/job_queue.h"

namespace tarrowind {

JobQueue::JobQueue(Work work, WorkerStarter startWorker)
    : m_work(std::move(work)), m_startWorker(std::move(startWorker))
{
}

JobQueue::~JobQueue()
{
    Close();
    JoinWorkers();
}

int JobQueue::Add(DeviceRecord* record)
{
    std::lock_guard hold(m_lock);
    if (m_closed) {
        return 0;
    }
    ++m_jobCount;
    if (m_runningCount >= kMaxWorkers || m_busyAddresses.count(record->ip) != 0) {
        m_parked.push_back(record);
        return 1;
    }
    m_busyAddresses.insert(record->ip);
    ++m_runningCount;
    if (!StartWorker(record)) {
        // No thread: give back what was claimed. A running worker takes the record later; with none
        // running it would wait for ever, so it is refused and the caller keeps it.
        --m_runningCount;
        m_busyAddresses.erase(record->ip);
        if (m_runningCount == 0) {
            --m_jobCount;
            m_changed.notify_all();
            return 0;
        }
        m_parked.push_back(record);
    }
    return 1;
}

bool JobQueue::StartWorker(DeviceRecord* record)
{
    if (m_startWorker) {
        return m_startWorker([this, record] { m_work(record); });
    }
    std::lock_guard hold(m_workerLock);
    // Workers that have ended are joined here, each a moment after its end, so that none outlives the
    // manager and their number stays small.
    for (std::thread& ended : m_endedWorkers) {
        ended.join();
    }
    m_endedWorkers.clear();
    try {
        std::thread worker([this, record] {
            m_work(record);
            WorkerEnded(std::this_thread::get_id());
        });
        const std::thread::id id = worker.get_id();
        m_workers.emplace(id, std::move(worker));
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void JobQueue::WorkerEnded(std::thread::id id)
{
    std::lock_guard hold(m_workerLock);
    const auto it = m_workers.find(id);
    if (it != m_workers.end()) {
        m_endedWorkers.push_back(std::move(it->second));
        m_workers.erase(it);
    }
}

void JobQueue::JoinWorkers()
{
    {
        std::unique_lock hold(m_lock);
        m_changed.wait(hold, [this] { return m_runningCount == 0; });
    }
    for (;;) {
        std::vector<std::thread> joining;
        {
            std::lock_guard hold(m_workerLock);
            joining = std::move(m_endedWorkers);
            m_endedWorkers.clear();
            for (auto& [id, worker] : m_workers) {
                joining.push_back(std::move(worker));
            }
            m_workers.clear();
        }
        if (joining.empty()) {
            return;
        }
        // Without the lock: a worker still on its way out takes it to say it ended.
        for (std::thread& worker : joining) {
            worker.join();
        }
    }
}

bool JobQueue::TakeNext(DeviceRecord*& record, std::optional<std::uint32_t> finishedAddress)
{
    std::lock_guard hold(m_lock);
    --m_jobCount;
    // Also address 0: a reader without an address holds it while its settings go out by broadcast.
    if (finishedAddress) {
        m_busyAddresses.erase(*finishedAddress);
    }
    const auto next = m_closed ? m_parked.end()
                                : std::find_if(m_parked.begin(), m_parked.end(), [this](const DeviceRecord* r) {
                                      return m_busyAddresses.count(r->ip) == 0;
                                  });
    if (next == m_parked.end()) {
        // Ending in the same hold of the lock: a record parked from now on starts a worker of its own.
        --m_runningCount;
        m_changed.notify_all();
        return false;
    }
    record = *next;
    m_parked.erase(next);
    m_busyAddresses.insert(record->ip);
    m_changed.notify_all();
    return true;
}

bool JobQueue::Cancel(DeviceRecord* record)
{
    std::lock_guard hold(m_lock);
    const auto it = std::find(m_parked.begin(), m_parked.end(), record);
    if (it == m_parked.end()) {
        return false;
    }
    m_parked.erase(it);
    --m_jobCount;
    record->pendingPayload.reset();
    m_changed.notify_all();
    return true;
}

std::vector<DeviceRecord*> JobQueue::Close()
{
    m_closed = true;
    std::lock_guard hold(m_lock);
    std::vector<DeviceRecord*> withdrawn(m_parked.begin(), m_parked.end());
    for (DeviceRecord* record : withdrawn) {
        record->pendingPayload.reset();
    }
    m_jobCount -= static_cast<int>(m_parked.size());
    m_parked.clear();
    m_changed.notify_all();
    return withdrawn;
}

bool JobQueue::ReserveAddress(std::uint32_t address)
{
    if (address == 0) {
        return false;
    }
    std::lock_guard hold(m_lock);
    return m_busyAddresses.insert(address).second;
}

bool JobQueue::ReleaseAddress(std::uint32_t address, DeviceRecord** refused)
{
    if (refused != nullptr) {
        *refused = nullptr;
    }
    if (address == 0) {
        return false;
    }
    std::lock_guard hold(m_lock);
    if (m_busyAddresses.count(address) == 0) {
        return false;
    }
    const auto it = std::find_if(m_parked.begin(), m_parked.end(),
                                 [address](const DeviceRecord* r) { return r->ip == address; });
    m_busyAddresses.erase(address);
    if (it != m_parked.end()) {
        DeviceRecord* record = *it;
        m_parked.erase(it);
        --m_jobCount;
        if (Add(record) == 0 && refused != nullptr) {
            *refused = record;
        }
    }
    m_changed.notify_all();
    return true;
}

int JobQueue::JobCount() const
{
    std::lock_guard hold(m_lock);
    return m_jobCount;
}

int JobQueue::RunningCount() const
{
    std::lock_guard hold(m_lock);
    return m_runningCount;
}

void JobQueue::WaitUntilIdle()
{
    // Every job ends within its exchanges' time-outs, and at once after Close; nothing parked can
    // stay behind an address that is never freed.
    std::unique_lock hold(m_lock);
    m_changed.wait(hold, [this] { return m_jobCount == 0 && m_runningCount == 0; });
}

}  // namespace tarrowind
