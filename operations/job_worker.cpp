// The worker: carries one record's action through its statuses, then takes the next parked record.
#include "operations/controller_manager.h"
#include "operations/action_steps.h"
#include "operations/known_modules.h"

namespace tarrowind {
namespace {

constexpr std::uint32_t kReportIntervalMs = 10;
constexpr int kRequeryTries = 10;
// The tries start at 16, 24, ... 88, so that with the up to 11 a try adds the bar never passes 100.
constexpr std::int32_t kFirstTryProgress = 16;
constexpr std::int32_t kProgressPerTry = 8;

}  // namespace

void CControllerManager::WaitWithProgress(DeviceRecord* record, std::uint32_t milliseconds, std::int32_t from,
                                          std::int32_t to)
{
    if (record == nullptr) {
        return;
    }
    Clock& clock = *m_services.clock;
    record->progress = from;
    Report(*record);
    const std::uint32_t start = clock.TickMs();
    std::uint32_t elapsed = 0;
    do {
        clock.SleepMs(kReportIntervalMs);
        elapsed = clock.TickMs() - start;
        const std::uint64_t moved =
            milliseconds == 0 ? static_cast<std::uint64_t>(to)
                              : static_cast<std::uint64_t>(elapsed) * static_cast<std::uint32_t>(to) / milliseconds;
        record->progress = static_cast<std::int32_t>(std::min<std::uint64_t>(from + moved, static_cast<std::uint32_t>(to)));
        Report(*record);
    } while (elapsed < milliseconds && !m_queue.Closed());
}

void CControllerManager::WaitForModuleToReturn(DeviceRecord& record)
{
    WaitWithProgress(&record, m_timing.settleMs, 0, 16);
    bool back = false;
    for (int i = 0; i < kRequeryTries && !back && !m_queue.Closed(); ++i) {
        record.progress = kFirstTryProgress + kProgressPerTry * i;
        Report(record);
        if (Requery(&record) == 1) {
            back = true;
        }
    }
    record.progress = 100;
    if (back) {
        // The login that follows never takes a new key by itself: a module that made one on its
        // restart is shown as changed, for the user to decide.
        if (m_services.knownModules != nullptr) {
            m_services.knownModules->WithdrawAllowance(MacKey(record.mac));
        }
        record.status = kStatusQueueLogin;
        Report(record);
        // Last, as a module on a new address starts on another worker at once: from here on the
        // record is that worker's. Refused (a stopped queue), it is left not logged in; a module back
        // at an address that cannot be reached was already given its status by the queue.
        if (QueueJob(&record) == 0 && record.status == kStatusQueueLogin) {
            record.action = kActionNone;
            record.status = kStatusNone;
            Report(record);
        }
        return;
    }
    record.pendingPayload.reset();  // a previous login kept for the login that now never comes
    Report(record);
    record.action = kActionNone;
    record.status = kStatusCannotAccess;
    Report(record);
}

void CControllerManager::JobWorker(DeviceRecord* record)
{
    while (record != nullptr) {
        // Held before the action: a settings action that changes the address still frees the old one.
        std::optional<std::uint32_t> heldAddress = record->ip;
        // The entry is removed as it was made, also when the action gave the module a new address.
        DeviceRecord arpEntry;
        arpEntry.adapterIndex = record->adapterIndex;
        arpEntry.ip = record->ip;
        arpEntry.mac = record->mac;
        arpEntry.addressConfirmed = record->addressConfirmed;
        if (!record->addressConfirmed) {
            // The commands refuse such a record; should one be queued all the same, nothing is sent.
            record->status = kStatusAddressNotConfirmed;
        } else {
            AddStaticArp(arpEntry);
            RunActionStep(*this, *record);
            RemoveStaticArp(arpEntry);
        }
        if (record->status == kStatusWaitForLogin) {
            // The module leaves its old address: the next one parked there (modules sharing a factory
            // address) is worked on while this one restarts; each is reached by its own MAC. Address 0
            // cannot be released so: it is freed when this worker takes its next record.
            if (record->ip != *heldAddress && ReleaseAddress(*heldAddress)) {
                heldAddress.reset();
            }
            WaitForModuleToReturn(*record);
        } else {
            record->action = kActionNone;
            Report(*record);
        }
        DeviceRecord* next = nullptr;
        if (!TakeNextJob(next, heldAddress)) {
            return;
        }
        record = next;
    }
}

}  // namespace tarrowind
