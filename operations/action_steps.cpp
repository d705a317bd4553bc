#include "operations/action_steps.h"

#include <optional>

#include "discovery/address_text.h"
#include "discovery/dactyl_settings.h"
#include "operations/controller_manager.h"
#include "operations/firmware_folder.h"
#include "operations/firmware_upload.h"
#include "operations/known_modules.h"
#include "operations/login.h"
#include "operations/module_request.h"
#include "operations/module_settings.h"
#include "operations/pending_payload.h"
#include "operations/settings_change.h"

namespace tarrowind {
namespace {

ModuleSettings RestartRequest(DeviceRecord& record, bool restoreDefault)
{
    ModuleSettings settings;
    settings.target = HttpTarget::ForRecord(record);
    settings.reboot = restoreDefault ? 0 : 1;
    settings.restoreDefault = restoreDefault ? 1 : 0;
    return settings;
}

}  // namespace

void RunLoginStep(CControllerManager& manager, DeviceRecord& record)
{
    if (record.kind == ModuleKind::LongReply) {
        return;
    }
    HttpClient& http = manager.Http();
    record.status = kStatusLogin;
    record.failureReason = FailureReason::None;
    Report(record);
    const auto login = [&record, &http] {
        return record.kind == ModuleKind::BinaryDactyl ? LoginByCgi(&record, http) : LoginByPage(&record, http);
    };
    std::int32_t result = login();
    // Back from a settings action that changed the login: a module that refused the new one may still
    // take the old, and then stays on it, its settings change failed.
    const std::shared_ptr<PendingPayload> before = std::move(record.pendingPayload);
    record.pendingPayload.reset();
    const auto* previous = PayloadAs<PreviousLogin>(before);
    if (previous != nullptr && FailureReasonOf(result) == FailureReason::CredentialsRefused) {
        record.userName = previous->userName;
        record.password = previous->password;
        if (login() == 0) {
            record.status = kStatusSettingFailed;
            record.failureReason = FailureReason::LoginKept;
            return;
        }
    }
    record.status = result == 0 ? kStatusLoginSuccessfully : FailureStatus(result, kStatusLoginFailed);
    record.failureReason = FailureReasonOf(result);
    // Back after a firmware update: the requery refreshed its version, which must be the new one.
    if (record.status == kStatusLoginSuccessfully && !FirmwareUpdateTook(record)) {
        record.status = kStatusFirmwareNotTaken;
    }
    if (record.status == kStatusLoginFailed) {
        WipeString(record.password);  // refused: the next login asks for one again
    }
}

void RunSettingsStep(CControllerManager& manager, DeviceRecord& record)
{
    if (record.kind == ModuleKind::LongReply) {
        return;
    }
    HttpClient& http = manager.Http();
    record.status = kStatusSetting;
    record.failureReason = FailureReason::None;
    Report(record);
    const std::shared_ptr<PendingPayload> payload = std::move(record.pendingPayload);
    record.pendingPayload.reset();
    const auto* change = PayloadAs<SettingsChange>(payload);
    if (record.kind == ModuleKind::BinaryDactyl) {
        std::optional<DactylSettingsBytes> request;
        if (change != nullptr) {
            request = DactylRequestWithChange(record, *change);
        } else if (const auto* whole = PayloadAs<DactylSettingsRequest>(payload)) {
            request = whole->bytes;
        }
        record.status = request && manager.SendDactylSettings(record, *request) == 1 ? kStatusWaitForLogin
                                                                                     : kStatusSettingFailed;
        // A routed reader is requeried at its address, so it is looked for where the request sent it.
        std::uint32_t ip = 0, mask = 0;
        if (record.status == kStatusWaitForLogin && record.routed && DactylRequestedAddress(*request, ip, mask)) {
            record.ip = ip;
            record.ipText = FormatIp(ip);
            record.maskText = FormatIp(mask);
        }
        return;
    }
    ModuleSettings changed;
    const ModuleSettings* settings = PayloadAs<ModuleSettings>(payload);
    std::int32_t result = kHttpNoTarget;
    if (change != nullptr) {
        // Read here, not when queued: of many modules changed at once, each is read just before
        // its write, and every field but the changed ones goes back as the module has it.
        result = ChangeModuleSettings(*change, HttpTarget::ForRecord(record), http, changed);
        settings = &changed;
    } else if (settings != nullptr) {
        result = WriteModuleSettings(settings, http);
    }
    if (settings == nullptr || result != kHttpSuccess) {
        record.status = SettingsFailureStatus(result);
        record.failureReason = FailureReasonOf(result);
        return;
    }
    if (settings->newLoginName != record.userName || settings->newAdminPassword != record.password) {
        record.pendingPayload = MakePayload(PreviousLogin{record.userName, record.password});
    }
    record.userName = settings->newLoginName;
    record.password = settings->newAdminPassword;
    record.ip = settings->ip;
    record.ipText = FormatIp(settings->ip);
    record.status = kStatusWaitForLogin;
}

void RunRestartStep(CControllerManager& manager, DeviceRecord& record)
{
    const bool restoreDefault = record.status == kStatusQueueSetDefault;
    const ModuleSettings request = RestartRequest(record, restoreDefault);
    record.status = restoreDefault ? kStatusSetDefault : kStatusReboot;
    record.failureReason = FailureReason::None;
    Report(record);
    const std::int32_t sent = WriteModuleSettings(&request, manager.Http());
    record.status = sent == 0 ? kStatusWaitForLogin
                              : FailureStatus(sent, restoreDefault ? kStatusSetDefaultFailed : kStatusRebootFailed);
    record.failureReason = FailureReasonOf(sent);
}

void RunFirmwareStep(CControllerManager& manager, DeviceRecord& record)
{
    record.versionBefore = record.version;
    record.failureReason = FailureReason::None;
    const std::int32_t next = record.firmwareFile2.empty() ? kStatusWaitForLogin : kStatusWaitForFirmwareUpdate;
    record.status = RunFirmwareUpload(manager, &record, 0) ? next : kStatusFirmwareUpdateFailed;
    if (record.status == kStatusWaitForFirmwareUpdate) {
        manager.WaitWithProgress(&record, manager.Timing().firmwarePauseMs, 0, 100);
        record.status = RunFirmwareUpload(manager, &record, 1) ? kStatusWaitForLogin : kStatusFirmwareUpdateFailed;
    }
    record.pendingPayload.reset();
    // The upload reports only whether it worked; a refused key shows as what it was.
    KnownModules* known = manager.KnownModuleKeys();
    if (record.status == kStatusFirmwareUpdateFailed && known != nullptr && known->Refused(MacKey(record.mac))) {
        record.status = kStatusCertificateChanged;
    }
}

void RunActionStep(CControllerManager& manager, DeviceRecord& record)
{
    switch (record.status) {
    case kStatusQueueLogin:
        RunLoginStep(manager, record);
        return;
    case kStatusQueueSetting:
        RunSettingsStep(manager, record);
        return;
    case kStatusQueueReboot:
    case kStatusQueueSetDefault:
        RunRestartStep(manager, record);
        return;
    case kStatusQueueFirmwareUpdate:
        RunFirmwareStep(manager, record);
        return;
    default:
        return;
    }
}

}  // namespace tarrowind
