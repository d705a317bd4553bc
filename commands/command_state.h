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
};

// `selected` holds the selected rows in list order, null for a row without a record; `busy` is true while
// the job queue holds any action.
CommandState ComputeCommandState(const std::vector<const DeviceRecord*>& selected, bool busy);

// What Enter or a double click does to the one selected row.
enum class DefaultAction { Nothing, CancelQueueItems, SetLogin, Setting };
DefaultAction ChooseDefaultAction(const std::vector<const DeviceRecord*>& selected);

}  // namespace tarrowind
