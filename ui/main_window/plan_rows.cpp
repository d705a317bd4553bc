#include "ui/main_window/plan_rows.h"

#include "ui/device_list/controller_list_ctrl.h"
#include "ui/device_list/controller_list_model.h"

namespace tarrowind {

PlanRows PlanRows::Of(const CControllerListCtrl& list)
{
    PlanRows rows;
    const std::vector<const DeviceRecord*> shown = list.SelectedSnapshots();
    const std::vector<DeviceRecord*> live = list.SelectedRecords();
    rows.selected.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size() && i < live.size(); ++i) {
        rows.selected.push_back(*shown[i]);
        rows.selectedLive.push_back(live[i]);
    }
    const auto all = list.Model()->AllRows();
    rows.all.reserve(all.size());
    for (const auto& [snapshot, record] : all) {
        rows.all.push_back(*snapshot);
        rows.allLive.push_back(record);
    }
    return rows;
}

std::vector<DeviceRecord*> PlanRows::SelectedCopies()
{
    std::vector<DeviceRecord*> copies;
    for (DeviceRecord& r : selected) {
        copies.push_back(&r);
    }
    return copies;
}

std::vector<DeviceRecord*> PlanRows::AllCopies()
{
    std::vector<DeviceRecord*> copies;
    for (DeviceRecord& r : all) {
        copies.push_back(&r);
    }
    return copies;
}

DeviceRecord* PlanRows::LiveOf(const DeviceRecord* copy) const
{
    for (const auto* list : {&selected, &all}) {
        if (!list->empty() && copy >= list->data() && copy < list->data() + list->size()) {
            const auto at = static_cast<std::size_t>(copy - list->data());
            return list == &selected ? selectedLive[at] : allLive[at];
        }
    }
    return nullptr;
}

std::vector<std::pair<DeviceRecord*, SettingsChange>> PlanRows::Live(
    std::vector<std::pair<DeviceRecord*, SettingsChange>> changes) const
{
    for (auto& [record, change] : changes) {
        record = LiveOf(record);
    }
    return changes;
}

}  // namespace tarrowind
