// The job queue of the manager: at most kMaxWorkers workers, never two on one module address.
#include <algorithm>
#include <system_error>
#include <thread>

#include "discovery/controller_manager.h"

namespace tarrowind {

int CControllerManager::QueueJob(DeviceRecord* record)
{
    if (record == nullptr) {
        return 0;
    }
    record->ownerQueue = this;
    std::lock_guard hold(m_queueLock);
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
            m_queueChanged.notify_all();
            return 0;
        }
        m_parked.push_back(record);
    }
    return 1;
}

bool CControllerManager::StartWorker(DeviceRecord* record)
{
    auto work = [this, record] { JobWorker(record); };
    if (m_services.startWorker) {
        return m_services.startWorker(work);
    }
    try {
        std::thread(work).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

bool CControllerManager::TakeNextJob(DeviceRecord*& record, std::uint32_t finishedAddress)
{
    std::lock_guard hold(m_queueLock);
    --m_jobCount;
    if (finishedAddress != 0) {
        m_busyAddresses.erase(finishedAddress);
    }
    const auto next = std::find_if(m_parked.begin(), m_parked.end(),
                                   [this](const DeviceRecord* r) { return m_busyAddresses.count(r->ip) == 0; });
    if (next == m_parked.end()) {
        // Ending in the same hold of the lock: a record parked from now on starts a worker of its own.
        --m_runningCount;
        m_queueChanged.notify_all();
        return false;
    }
    record = *next;
    m_parked.erase(next);
    m_busyAddresses.insert(record->ip);
    m_queueChanged.notify_all();
    return true;
}

bool CControllerManager::CancelJob(DeviceRecord* record)
{
    std::lock_guard hold(m_queueLock);
    const auto it = std::find(m_parked.begin(), m_parked.end(), record);
    if (it == m_parked.end()) {
        return false;
    }
    m_parked.erase(it);
    --m_jobCount;
    record->pendingPayload.reset();
    m_queueChanged.notify_all();
    return true;
}

bool CControllerManager::ReserveAddress(std::uint32_t address)
{
    if (address == 0) {
        return false;
    }
    std::lock_guard hold(m_queueLock);
    return m_busyAddresses.insert(address).second;
}

bool CControllerManager::ReleaseAddress(std::uint32_t address, DeviceRecord** refused)
{
    if (refused != nullptr) {
        *refused = nullptr;
    }
    if (address == 0) {
        return false;
    }
    std::lock_guard hold(m_queueLock);
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
        if (QueueJob(record) == 0 && refused != nullptr) {
            *refused = record;
        }
    }
    m_queueChanged.notify_all();
    return true;
}

int CControllerManager::GetJobCount() const
{
    std::lock_guard hold(m_queueLock);
    return m_jobCount;
}

int CControllerManager::GetRunningCount() const
{
    std::lock_guard hold(m_queueLock);
    return m_runningCount;
}

void CControllerManager::WaitUntilIdle()
{
    std::unique_lock hold(m_queueLock);
    m_queueChanged.wait(hold, [this] { return m_jobCount == 0 && m_runningCount == 0; });
}

}  // namespace tarrowind
