#include "commands/command_state.h"

#include <algorithm>
#include <utility>

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

CommandState Decide(const std::vector<const DeviceRecord*>& selected, bool busy)
{
    const auto n = static_cast<std::int32_t>(selected.size());
    CommandState c;
    // Rows that do not take it are passed over, as the batch commands do; one that does is enough.
    c.changeLogin = std::any_of(selected.begin(), selected.end(),
                                [](const DeviceRecord* r) { return r != nullptr && TakesNewLogin(*r); })
                        ? 1
                        : 0;
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

// Fills the reason of every command `c` leaves at 0. Kept apart from the rules that decide, so those stay
// as they are; a reason is only ever given for a command they disallow.
void Explain(const CommandState& c, const std::vector<const DeviceRecord*>& selected, CommandReasons& why)
{
    const auto give = [](std::int32_t allowed, CommandBlock& slot, CommandBlock reason) {
        slot = allowed != 0 ? CommandBlock::None : reason;
    };
    give(c.search, why.search, CommandBlock::Busy);
    give(c.changeLogin, why.changeLogin,
         selected.empty() ? CommandBlock::NoSelection : CommandBlock::NoneTakesNewLogin);
    const DeviceRecord* one = selected.size() == 1 ? selected.front() : nullptr;
    if (selected.size() > 1) {
        const bool reader = std::any_of(selected.begin(), selected.end(), [](const DeviceRecord* r) {
            return r != nullptr && r->kind == ModuleKind::BinaryDactyl;
        });
        give(c.setting, why.setting, CommandBlock::OneModuleOnly);
        give(c.advancedSetting, why.advancedSetting, CommandBlock::OneModuleOnly);
        give(c.reboot, why.reboot, CommandBlock::ReaderSelected);
        give(c.restoreDefault, why.restoreDefault, CommandBlock::ReaderSelected);
        give(c.firmwareUpdateToLatest, why.firmwareUpdateToLatest, CommandBlock::ReaderSelected);
        give(c.firmwareUpdate, why.firmwareUpdate, reader ? CommandBlock::ReaderSelected : CommandBlock::MixedModels);
        return;
    }
    if (one == nullptr) {
        const std::pair<std::int32_t, CommandBlock*> all[] = {
            {c.setLogin, &why.setLogin}, {c.setting, &why.setting}, {c.advancedSetting, &why.advancedSetting},
            {c.reboot, &why.reboot}, {c.restoreDefault, &why.restoreDefault}, {c.firmwareUpdate, &why.firmwareUpdate},
            {c.firmwareUpdateToLatest, &why.firmwareUpdateToLatest}, {c.cancelQueueItems, &why.cancelQueueItems},
        };
        for (const auto& [allowed, slot] : all) {
            give(allowed, *slot, CommandBlock::NoSelection);
        }
        return;
    }
    const DeviceRecord& r = *one;
    const bool reader = r.kind == ModuleKind::BinaryDactyl;
    CommandBlock general = CommandBlock::VersionTooOld;
    if (r.status == kStatusNotSupported) {
        general = CommandBlock::NotSupported;
    } else if (r.action != kActionNone) {
        general = CommandBlock::RowBusy;
    } else if (r.kind == ModuleKind::LongReply) {
        general = CommandBlock::TakesNoLogin;
    } else if (r.status < kStatusLoginSuccessfully || (reader && r.status == kStatusSettingFailed)) {
        general = CommandBlock::NotLoggedIn;
    }
    const bool loggedIn = general == CommandBlock::VersionTooOld;
    give(c.setLogin, why.setLogin, loggedIn ? CommandBlock::AlreadyLoggedIn : general);
    give(c.setting, why.setting, general);
    give(c.advancedSetting, why.advancedSetting, general);
    const CommandBlock batch = reader && general != CommandBlock::NotSupported ? CommandBlock::ReaderSelected : general;
    give(c.reboot, why.reboot, batch);
    give(c.restoreDefault, why.restoreDefault, batch);
    give(c.firmwareUpdate, why.firmwareUpdate, batch);
    give(c.firmwareUpdateToLatest, why.firmwareUpdateToLatest, batch);
}

}  // namespace

CommandState ComputeCommandState(const std::vector<const DeviceRecord*>& selected, bool busy,
                                 CommandReasons* reasons)
{
    const CommandState c = Decide(selected, busy);
    if (reasons != nullptr) {
        *reasons = CommandReasons{};
        Explain(c, selected, *reasons);
    }
    return c;
}

bool TakesNewLogin(const DeviceRecord& r)
{
    return (r.kind == ModuleKind::Web || r.kind == ModuleKind::WebDactyl) && r.action == kActionNone &&
           r.status >= kStatusLoginSuccessfully && CanConfigure(r.model, r.version);
}

const char* CommandBlockKey(CommandBlock block)
{
    switch (block) {
    case CommandBlock::None:
        return nullptr;
    case CommandBlock::Busy:
        return "ORB_IDS_WHY_BUSY";
    case CommandBlock::NoSelection:
        return "ORB_IDS_WHY_NO_SELECTION";
    case CommandBlock::OneModuleOnly:
        return "ORB_IDS_WHY_ONE_MODULE";
    case CommandBlock::RowBusy:
        return "ORB_IDS_WHY_ROW_BUSY";
    case CommandBlock::NotSupported:
        return "ORB_IDS_WHY_NOT_SUPPORTED";
    case CommandBlock::TakesNoLogin:
        return "ORB_IDS_WHY_NO_LOGIN";
    case CommandBlock::AlreadyLoggedIn:
        return "ORB_IDS_WHY_LOGGED_IN";
    case CommandBlock::NotLoggedIn:
        return "ORB_IDS_WHY_NOT_LOGGED_IN";
    case CommandBlock::ReaderSelected:
        return "ORB_IDS_WHY_READER";
    case CommandBlock::MixedModels:
        return "ORB_IDS_WHY_MIXED_MODELS";
    case CommandBlock::VersionTooOld:
        return "ORB_IDS_WHY_VERSION";
    case CommandBlock::NoneTakesNewLogin:
        return "ORB_IDS_WHY_NO_NEW_LOGIN";
    }
    return nullptr;
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
