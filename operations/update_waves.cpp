#include "operations/update_waves.h"

#include <algorithm>

#include "operations/controller_manager.h"

namespace tarrowind {

UpdateWaves::~UpdateWaves()
{
    std::lock_guard hold(m_lock);
    for (auto& [record, member] : m_members) {
        record->reportWindow = member.reportWindow;
    }
}

void UpdateWaves::Begin(CControllerManager& manager, const std::vector<DeviceRecord*>& records, WaveOptions options)
{
    auto batch = std::make_shared<Batch>();
    batch->manager = &manager;
    batch->options = options;
    batch->options.firstWave = std::max<std::size_t>(1, options.firstWave);
    Steps steps;
    {
        std::lock_guard hold(m_lock);
        for (DeviceRecord* r : records) {
            if (r == nullptr || !m_members.try_emplace(r, Member{batch, r->reportWindow}).second) {
                continue;
            }
            r->reportWindow = this;
            batch->waiting.push_back(r);
        }
        TakeNextLocked(*batch, steps);
    }
    Carry(std::move(steps));
}

bool UpdateWaves::Withdraw(DeviceRecord* record)
{
    std::lock_guard hold(m_lock);
    const auto it = m_members.find(record);
    if (it == m_members.end()) {
        return false;
    }
    std::deque<DeviceRecord*>& waiting = it->second.batch->waiting;
    const auto at = std::find(waiting.begin(), waiting.end(), record);
    if (at == waiting.end()) {
        return false;
    }
    waiting.erase(at);
    LeaveLocked(record);
    return true;
}

std::size_t UpdateWaves::WaitingCount() const
{
    std::lock_guard hold(m_lock);
    return static_cast<std::size_t>(std::count_if(m_members.begin(), m_members.end(), [](const auto& m) {
        return m.second.batch->inFlight.count(m.first) == 0;
    }));
}

std::vector<DeviceRecord*> UpdateWaves::StopAll()
{
    std::lock_guard hold(m_lock);
    std::vector<DeviceRecord*> waiting;
    for (auto it = m_members.begin(); it != m_members.end();) {
        DeviceRecord* record = it->first;
        Batch& batch = *it->second.batch;
        batch.stopped = true;
        ++it;
        if (batch.inFlight.count(record) == 0) {
            batch.waiting.clear();
            LeaveLocked(record);
            waiting.push_back(record);
        }
    }
    return waiting;
}

void UpdateWaves::OnReport(DeviceRecord& record)
{
    // The reporting thread owns the record: its action is read without a race.
    CoreEvents* forward = nullptr;
    bool ended = false;
    {
        std::lock_guard hold(m_lock);
        const auto it = m_members.find(&record);
        if (it != m_members.end()) {
            forward = it->second.reportWindow;
            ended = record.action == kActionNone && it->second.batch->inFlight.count(&record) != 0;
        }
    }
    if (forward != nullptr) {
        forward->OnReport(record);
    }
    if (!ended) {
        return;
    }
    Steps steps;
    {
        std::lock_guard hold(m_lock);
        const auto it = m_members.find(&record);
        if (it != m_members.end()) {
            EndedLocked(record, OutcomeOf(record, it->second.batch->options), steps);
        }
    }
    Carry(std::move(steps));
}

UpdateWaves::Outcome UpdateWaves::OutcomeOf(const DeviceRecord& r, const WaveOptions& options) const
{
    if (IsFailureStatus(r.status)) {
        const bool sameVersion = r.status == kStatusFirmwareNotTaken && r.version == r.versionBefore;
        return options.sameVersionIsDone && sameVersion ? Outcome::Well : Outcome::Failed;
    }
    if (r.failureReason == FailureReason::Cancelled) {
        return Outcome::Neither;
    }
    // Anything else (left not logged in as the queue stopped) neither stops the rollout nor lets it on.
    return r.status == kStatusLoginSuccessfully ? Outcome::Well : Outcome::Neither;
}

void UpdateWaves::TakeNextLocked(Batch& batch, Steps& steps)
{
    steps.manager = batch.manager;
    if (batch.stopped) {
        return;
    }
    if (batch.firstWave) {
        if (!batch.inFlight.empty()) {
            return;  // the first wave runs alone and ends as a whole
        }
        // A first wave that was cancelled or refused as a whole is followed by another first wave.
        batch.firstWave = !batch.firstWaveWentWell;
    }
    const std::size_t width = batch.firstWave ? batch.options.firstWave : kWaveWidth;
    while (batch.inFlight.size() < width && !batch.waiting.empty()) {
        DeviceRecord* next = batch.waiting.front();
        batch.waiting.pop_front();
        batch.inFlight.insert(next);
        steps.start.push_back(next);
    }
}

void UpdateWaves::StopLocked(Batch& batch, Steps& steps, bool cancelled)
{
    steps.manager = batch.manager;
    batch.stopped = true;
    for (DeviceRecord* r : batch.waiting) {
        LeaveLocked(r);
        steps.putBack.emplace_back(r, cancelled ? FailureReason::Cancelled : FailureReason::Held);
    }
    batch.waiting.clear();
    if (!cancelled) {
        steps.recall.insert(steps.recall.end(), batch.inFlight.begin(), batch.inFlight.end());
    }
}

void UpdateWaves::LeaveLocked(DeviceRecord* record)
{
    const auto it = m_members.find(record);
    if (it != m_members.end()) {
        record->reportWindow = it->second.reportWindow;
        m_members.erase(it);
    }
}

void UpdateWaves::EndedLocked(DeviceRecord& record, Outcome outcome, Steps& steps)
{
    const auto it = m_members.find(&record);
    if (it == m_members.end() || it->second.batch->inFlight.erase(&record) == 0) {
        return;
    }
    const std::shared_ptr<Batch> batch = it->second.batch;
    LeaveLocked(&record);
    if (batch->manager->JobsStopped()) {
        StopLocked(*batch, steps, true);
        return;
    }
    if (outcome == Outcome::Failed && (batch->firstWave || batch->options.stopOnFailure)) {
        StopLocked(*batch, steps, false);
        return;
    }
    if (outcome == Outcome::Well && batch->firstWave) {
        batch->firstWaveWentWell = true;
    }
    TakeNextLocked(*batch, steps);
}

void UpdateWaves::Carry(Steps steps)
{
    while (!steps.Empty()) {
        for (const auto& [r, why] : steps.putBack) {
            PutBack(*r, why);
        }
        Steps more;
        for (DeviceRecord* r : steps.recall) {
            // Only a parked record is withdrawn; from then on it is ours. One that waits for its login
            // after the restart has been updated already and goes back to the queue.
            if (!steps.manager->CancelJob(r)) {
                continue;
            }
            if (r->status != kStatusQueueFirmwareUpdate) {
                if (steps.manager->QueueJob(r) == 0 && r->status == kStatusQueueLogin) {
                    r->action = kActionNone;  // the queue stopped meanwhile: left not logged in, as a worker would
                    r->status = kStatusNone;
                    Report(*r);
                }
                continue;
            }
            {
                std::lock_guard hold(m_lock);
                const auto it = m_members.find(r);
                if (it != m_members.end()) {
                    it->second.batch->inFlight.erase(r);
                    LeaveLocked(r);
                }
            }
            PutBack(*r, FailureReason::Held);
        }
        for (DeviceRecord* r : steps.start) {
            if (steps.manager->QueueJob(r) != 0) {
                continue;
            }
            // Refused: a record the queue ended reported that itself and has left the batch already.
            std::lock_guard hold(m_lock);
            if (m_members.count(r) != 0) {
                const bool stopped = steps.manager->JobsStopped();
                EndedLocked(*r, Outcome::Neither, more);
                more.putBack.emplace_back(r, stopped ? FailureReason::Cancelled : FailureReason::None);
            }
        }
        steps = std::move(more);
    }
}

void UpdateWaves::PutBack(DeviceRecord& record, FailureReason why)
{
    record.action = kActionNone;
    record.status = kStatusLoginSuccessfully;
    record.failureReason = why;
    record.pendingPayload.reset();
    Report(record);
}

}  // namespace tarrowind
