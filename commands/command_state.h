#pragma once

#include <cstdint>
#include <vector>

#include "discovery/device_record.h"

namespace tarrowind {

// Which commands the selection allows, in toolbar order. All but the last are 0 or 1; cancelQueueItems
// is the number of selected rows and counts as enabled when not 0.
struct CommandState {
    std::int32_t search = 0;
    std::int32_t setLogin = 0;
    std::int32_t setting = 0;
    std::int32_t advancedSetting = 0;
    std::int32_t reboot = 0;
    std::int32_t restoreDefault = 0;
    std::int32_t firmwareUpdate = 0;
    std::int32_t firmwareUpdateToLatest = 0;
    std::int32_t cancelQueueItems = 0;
    std::int32_t changeLogin = 0;  // a new login for the selected logged-in web modules
};

// Why a command the selection does not allow is greyed, in words the user can act on.
enum class CommandBlock : std::int32_t {
    None = 0,
    Busy,             // actions are queued or running
    NoSelection,      // no module is selected
    OneModuleOnly,    // the command takes one module at a time
    RowBusy,          // the module has an action queued or running
    NotSupported,     // the module's model is not supported
    TakesNoLogin,     // the module has no login
    AlreadyLoggedIn,
    NotLoggedIn,
    ReaderSelected,   // a fingerprint reader takes no reboot, default or firmware update
    MixedModels,      // one firmware file fits one model
    VersionTooOld,    // the module's model or version does not take the command from here
    NoneTakesNewLogin,  // no selected module is a logged-in web module whose settings may be changed
};

// The reason for each command of CommandState that is 0; None for those that are allowed.
struct CommandReasons {
    CommandBlock search = CommandBlock::None;
    CommandBlock setLogin = CommandBlock::None;
    CommandBlock setting = CommandBlock::None;
    CommandBlock advancedSetting = CommandBlock::None;
    CommandBlock reboot = CommandBlock::None;
    CommandBlock restoreDefault = CommandBlock::None;
    CommandBlock firmwareUpdate = CommandBlock::None;
    CommandBlock firmwareUpdateToLatest = CommandBlock::None;
    CommandBlock cancelQueueItems = CommandBlock::None;
    CommandBlock changeLogin = CommandBlock::None;
};

// `selected` holds the selected rows in list order, null for a row without a record; `busy` is true while
// the job queue holds any action. `reasons`, when given, receives why each disallowed command is.
CommandState ComputeCommandState(const std::vector<const DeviceRecord*>& selected, bool busy,
                                 CommandReasons* reasons = nullptr);

// Whether a module may be given a new login: a logged-in web module, idle, whose settings may be changed.
bool TakesNewLogin(const DeviceRecord& record);

// The string-table key of a reason; null for None.
const char* CommandBlockKey(CommandBlock block);

// What Enter or a double click does to the one selected row.
enum class DefaultAction { Nothing, CancelQueueItems, SetLogin, Setting };
DefaultAction ChooseDefaultAction(const std::vector<const DeviceRecord*>& selected);

}  // namespace tarrowind
