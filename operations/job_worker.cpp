// The worker: carries one record's action through its statuses, then takes the next parked record.
#include "operations/controller_manager.h"
#include "discovery/address_text.h"
#include "discovery/dactyl_settings.h"
#include "operations/firmware_folder.h"
#include "operations/firmware_upload.h"
#include "operations/known_modules.h"
#include "operations/login.h"
#include "operations/module_request.h"
#include "operations/module_settings.h"
#include "operations/settings_change.h"

namespace tarrowind {
namespace {

constexpr std::uint32_t kReportIntervalMs = 10;
constexpr int kRequeryTries = 10;
// The tries start at 16, 24, ... 88, so that with the up to 11 a try adds the bar never passes 100.
constexpr std::int32_t kFirstTryProgress = 16;
constexpr std::int32_t kProgressPerTry = 8;

ModuleSettings RestartRequest(DeviceRecord& record, bool restoreDefault)
{
    ModuleSettings settings;
    settings.target = HttpTarget::ForRecord(record);
    settings.reboot = restoreDefault ? 0 : 1;
    settings.restoreDefault = restoreDefault ? 1 : 0;
    return settings;
}

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
    } while (elapsed < milliseconds && !m_closing);
}

void CControllerManager::RunStep(DeviceRecord& record)
{
    HttpClient& http = *m_services.http;
    switch (record.status) {
    case kStatusQueueLogin: {
        if (record.kind == ModuleKind::LongReply) {
            return;
        }
        record.status = kStatusLogin;
        Report(record);
        const std::int32_t result = record.kind == ModuleKind::BinaryDactyl ? LoginByCgi(&record, http) : LoginByPage(&record, http);
        record.status = result == 0 ? kStatusLoginSuccessfully : FailureStatus(result, kStatusLoginFailed);
        // Back after a firmware update: the requery refreshed its version, which must be the new one.
        if (record.status == kStatusLoginSuccessfully && !FirmwareUpdateTook(record)) {
            record.status = kStatusFirmwareNotTaken;
        }
        if (record.status == kStatusLoginFailed) {
            WipeString(record.password);  // refused: the next login asks for one again
        }
        return;
    }
    case kStatusQueueSetting: {
        if (record.kind == ModuleKind::LongReply) {
            return;
        }
        record.status = kStatusSetting;
        Report(record);
        std::shared_ptr<PendingPayload> payload = std::move(record.pendingPayload);
        record.pendingPayload.reset();
        const auto* change = dynamic_cast<const SettingsChange*>(payload.get());
        if (record.kind == ModuleKind::BinaryDactyl) {
            DeviceRecord sending = record;
            sending.pendingPayload = change != nullptr ? std::make_shared<DactylSettingsRequest>(
                                                             DactylRequestWithChange(record, *change))
                                                       : payload;
            record.status = payload && SendDactylSettings(&sending) == 1 ? kStatusWaitForLogin : kStatusSettingFailed;
            // A routed reader is requeried at its address, so it is looked for where the request sent it.
            const auto* sent = dynamic_cast<const DactylSettingsRequest*>(sending.pendingPayload.get());
            std::uint32_t ip = 0, mask = 0;
            if (record.status == kStatusWaitForLogin && record.routed && sent != nullptr &&
                DactylRequestedAddress(sent->bytes, ip, mask)) {
                record.ip = ip;
                record.ipText = FormatIp(ip);
                record.maskText = FormatIp(mask);
            }
            return;
        }
        std::int32_t result = kHttpNoTarget;
        if (change != nullptr) {
            // Read here, not when queued: of many modules changed at once, each is read just before
            // its write, and every field but the changed ones goes back as the module has it.
            auto changed = std::make_shared<ModuleSettings>();
            result = ChangeModuleSettings(*change, HttpTarget::ForRecord(record), http, *changed);
            payload = std::move(changed);
        } else if (const auto* whole = dynamic_cast<const ModuleSettings*>(payload.get())) {
            result = WriteModuleSettings(whole, http);
        }
        const auto* settings = dynamic_cast<const ModuleSettings*>(payload.get());
        if (settings == nullptr || result != kHttpSuccess) {
            record.status = SettingsFailureStatus(result);
            return;
        }
        record.userName = settings->newLoginName;
        record.password = settings->newAdminPassword;
        record.ip = settings->ip;
        record.ipText = FormatIp(settings->ip);
        record.status = kStatusWaitForLogin;
        return;
    }
    case kStatusQueueReboot:
    case kStatusQueueSetDefault: {
        const bool restoreDefault = record.status == kStatusQueueSetDefault;
        const ModuleSettings request = RestartRequest(record, restoreDefault);
        record.status = restoreDefault ? kStatusSetDefault : kStatusReboot;
        Report(record);
        const std::int32_t sent = WriteModuleSettings(&request, http);
        record.status = sent == 0 ? kStatusWaitForLogin
                                  : FailureStatus(sent, restoreDefault ? kStatusSetDefaultFailed : kStatusRebootFailed);
        return;
    }
    case kStatusQueueFirmwareUpdate: {
        record.versionBefore = record.version;
        const std::int32_t next = record.firmwareFile2.empty() ? kStatusWaitForLogin : kStatusWaitForFirmwareUpdate;
        record.status = RunFirmwareUpload(*this, &record, 0) ? next : kStatusFirmwareUpdateFailed;
        if (record.status == kStatusWaitForFirmwareUpdate) {
            WaitWithProgress(&record, m_timing.firmwarePauseMs, 0, 100);
            record.status = RunFirmwareUpload(*this, &record, 1) ? kStatusWaitForLogin : kStatusFirmwareUpdateFailed;
        }
        record.pendingPayload.reset();
        // The upload reports only whether it worked; a refused key shows as what it was.
        if (record.status == kStatusFirmwareUpdateFailed && m_services.knownModules != nullptr &&
            m_services.knownModules->Refused(MacKey(record.mac))) {
            record.status = kStatusCertificateChanged;
        }
        return;
    }
    default:
        return;
    }
}

void CControllerManager::WaitForModuleToReturn(DeviceRecord& record)
{
    WaitWithProgress(&record, m_timing.settleMs, 0, 16);
    bool back = false;
    for (int i = 0; i < kRequeryTries && !back && !m_closing; ++i) {
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
            RunStep(*record);
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
