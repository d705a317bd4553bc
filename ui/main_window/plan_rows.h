#pragma once

#include <utility>
#include <vector>

#include "operations/settings_change.h"
#include "discovery/device_record.h"

namespace tarrowind {

class CControllerListCtrl;

// Copies of the rows' snapshots, for the commands that plan before they act: a record a worker holds is
// never read while it writes, and the changes planned on the copies are handed back with the live records.
struct PlanRows {
    std::vector<DeviceRecord> selected;  // copies of the selected rows' snapshots, in list order
    std::vector<DeviceRecord*> selectedLive;
    std::vector<DeviceRecord> all;  // copies of every row's snapshot
    std::vector<DeviceRecord*> allLive;

    static PlanRows Of(const CControllerListCtrl& list);

    std::vector<DeviceRecord*> SelectedCopies();
    std::vector<DeviceRecord*> AllCopies();
    // The live record of a copy made here; null for any other record.
    DeviceRecord* LiveOf(const DeviceRecord* copy) const;
    // The changes planned on the copies, each on its live record instead.
    std::vector<std::pair<DeviceRecord*, SettingsChange>> Live(
        std::vector<std::pair<DeviceRecord*, SettingsChange>> changes) const;
};

}  // namespace tarrowind
