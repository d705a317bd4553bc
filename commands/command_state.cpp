#include "commands/command_state.h"

#include "operations/firmware_folder.h"

namespace tarrowind {
namespace {

bool IsQueuedStatus(std::int32_t status)
{
    return status == kStatusQueueLogin || status == kStatusQueueSetting || status == kStatusQueueReboot ||
           status == kStatusQueueSetDefault || status == kStatusQueueFirmwareUpdate;
}

void ForOneRecord(CommandState& c, const DeviceRecord& r)
{
    if (r.status == kStatusNotSupported) {
        c.setLogin = 0;
        c.advancedSetting = 0;
        return;
    }
    switch (r.kind) {
    case ModuleKind::Web:
    case ModuleKind::WebDactyl:
        if (r.action != kActionNone) {
            c.setLogin = 0;
        } else if (r.status >= kStatusLoginSuccessfully) {
            c.setLogin = 0;
            c.setting = CanConfigure(r.model, r.version) ? 1 : 0;
            c.firmwareUpdate = CanUpdateFirmware(r.model, r.version) ? 1 : 0;
            c.reboot = 1;
            c.restoreDefault = 1;
            c.firmwareUpdateToLatest = 1;
        }
        break;
    case ModuleKind::BinaryDactyl:
        if (r.action != kActionNone) {
            c.setLogin = 0;
        } else if (r.status >= kStatusLoginSuccessfully && r.status != kStatusSettingFailed) {
            c.setLogin = 0;
            c.setting = 1;
            c.reboot = c.restoreDefault = c.firmwareUpdate = c.firmwareUpdateToLatest = 0;
        }
        break;
    case ModuleKind::LongReply:
        c.setLogin = 0;
        break;
    }
}

}  // namespace

CommandState ComputeCommandState(const std::vector<const DeviceRecord*>& selected, bool busy)
{
    const auto n = static_cast<std::int32_t>(selected.size());
    CommandState c;
    c.search = busy ? 0 : 1;
    c.setLogin = n > 0 ? 1 : 0;
    c.advancedSetting = n == 1 ? 1 : 0;
    c.reboot = c.restoreDefault = c.firmwareUpdate = c.firmwareUpdateToLatest = n > 1 ? 1 : 0;
    c.cancelQueueItems = n;
    if (n > 1) {
        const DeviceRecord* first = nullptr;
        for (const DeviceRecord* r : selected) {
            if (r == nullptr) {
                continue;
            }
            // Readers take none of the batch commands, and one among them spoils the batch.
            if (r->kind == ModuleKind::BinaryDactyl) {
                c.reboot = c.restoreDefault = c.firmwareUpdate = c.firmwareUpdateToLatest = 0;
                break;
            }
            if (first == nullptr) {
                first = r;
            } else if (r->model != first->model) {
                c.firmwareUpdate = 0;  // one file fits one model
            }
        }
    } else if (n == 1 && selected.front() != nullptr) {
        ForOneRecord(c, *selected.front());
    }
    return c;
}

DefaultAction ChooseDefaultAction(const std::vector<const DeviceRecord*>& selected)
{
    if (selected.size() != 1 || selected.front() == nullptr) {
        return DefaultAction::Nothing;
    }
    const DeviceRecord& r = *selected.front();
    if (r.action != kActionNone) {
        return IsQueuedStatus(r.status) ? DefaultAction::CancelQueueItems : DefaultAction::Nothing;
    }
    if (r.status == kStatusNotSupported || r.status == kStatusCannotAccess) {
        return DefaultAction::Nothing;
    }
    if (r.status >= kStatusLoginSuccessfully) {
        return DefaultAction::Setting;
    }
    // The login dialog only where Set Login is offered: a module without a login would take nothing
    // from it.
    return ComputeCommandState(selected, false).setLogin != 0 ? DefaultAction::SetLogin : DefaultAction::Nothing;
}

}  // namespace tarrowind
