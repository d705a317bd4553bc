#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "discovery/core_events.h"
#include "operations/job_queue.h"

namespace tarrowind {

class CControllerManager;

// How a firmware update of many modules goes out.
struct WaveOptions {
    std::size_t firstWave = 1;  // modules of the first wave, which runs alone
    // A failure after the first wave also holds every module not yet started; a failure in the first wave
    // always does.
    bool stopOnFailure = true;
    // An update that leaves a module on its version counts as done (an update to the same file).
    bool sameVersionIsDone = false;
};

// Rolls a firmware update out in waves: the first wave runs alone; once it has ended and one of it has
// ended well, the rest follow, at most kWaveWidth in flight at a time. A failed update stops the rollout:
// the modules not yet started go back to logged in with reason Held, updates already running finish.
//
// The coordinator hears of each module through its reports: for the batch's records it stands in as
// their report window and passes every report on to the one they had. An update has ended when its
// record reports no action any more (after the login that follows the module's restart). Started
// updates are only ever handed to the job queue, so cancelling works as for any queued action; records
// still waiting for their wave are withdrawn by Withdraw. It must outlive every worker of the managers
// it hands records to.
class UpdateWaves final : public CoreEvents {
public:
    // In flight at a time after the first wave: as many as the queue runs workers, so that the login after
    // each module's restart is never parked behind updates not yet started.
    static constexpr std::size_t kWaveWidth = JobQueue::kMaxWorkers;

    UpdateWaves() = default;
    ~UpdateWaves() override;
    UpdateWaves(const UpdateWaves&) = delete;
    UpdateWaves& operator=(const UpdateWaves&) = delete;

    // `records`: set to a firmware action and QUEUE_FIRMWARE_UPDATE and reported, none of them queued.
    // Queues the first wave on `manager` and keeps the rest waiting, in this order.
    void Begin(CControllerManager& manager, const std::vector<DeviceRecord*>& records, WaveOptions options);
    // Takes a record still waiting for its wave out of its batch (a cancel); the caller puts it back.
    // False when it is not waiting here.
    bool Withdraw(DeviceRecord* record);
    // Records waiting for their wave, of every batch.
    std::size_t WaitingCount() const;
    // The session ends: every waiting record is taken out of its batch and returned for the caller to put
    // back; nothing more starts.
    std::vector<DeviceRecord*> StopAll();

    void OnReport(DeviceRecord& record) override;

private:
    struct Batch {
        CControllerManager* manager = nullptr;
        WaveOptions options;
        std::deque<DeviceRecord*> waiting;
        std::set<DeviceRecord*> inFlight;  // handed to the queue, not yet ended
        bool firstWave = true;
        bool firstWaveWentWell = false;
        bool stopped = false;
    };
    struct Member {
        std::shared_ptr<Batch> batch;
        CoreEvents* reportWindow = nullptr;  // the record's own, given back when it leaves the batch
    };
    enum class Outcome { Well, Failed, Neither };
    // What a change of the batches leaves to do outside the lock: reports go out and the queue is called
    // only without it, since a report waits for the window, which may be waiting for the lock.
    struct Steps {
        CControllerManager* manager = nullptr;
        std::vector<DeviceRecord*> start;
        std::vector<std::pair<DeviceRecord*, FailureReason>> putBack;  // never started
        std::vector<DeviceRecord*> recall;  // started, perhaps still parked in the queue
        bool Empty() const { return start.empty() && putBack.empty() && recall.empty(); }
    };

    Outcome OutcomeOf(const DeviceRecord& record, const WaveOptions& options) const;
    // All under the lock. The next records to start: the next wave once the first has ended, else as many
    // as keep kWaveWidth in flight.
    void TakeNextLocked(Batch& batch, Steps& steps);
    // The batch stops; its waiting records leave it.
    void StopLocked(Batch& batch, Steps& steps, bool cancelled);
    // `record` leaves its batch with its own report window back.
    void LeaveLocked(DeviceRecord* record);
    // The update of an in-flight record ended: the rollout goes on or stops.
    void EndedLocked(DeviceRecord& record, Outcome outcome, Steps& steps);
    // Carries out the steps, and those that follow from records the queue refuses.
    void Carry(Steps steps);
    // Puts a record that never started back to logged in, with `why`, and reports it.
    static void PutBack(DeviceRecord& record, FailureReason why);

    mutable std::mutex m_lock;
    std::map<DeviceRecord*, Member> m_members;
};

}  // namespace tarrowind
