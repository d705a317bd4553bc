#pragma once

#include <vector>

class QWidget;

namespace tarrowind {

class CControllerListCtrl;
class CControllerManager;
class CommandPrompts;
struct DeviceRecord;

// "Save settings..." and "Restore settings...": the selected modules' configuration to a folder, one
// owner-only file each, and one file's configuration, previewed, to one module through the settings
// command.
class SettingsFileFlow {
public:
    SettingsFileFlow(QWidget& window, const CControllerListCtrl& list, CControllerManager& manager,
                     CommandPrompts& prompts);

    // Asks for the folder, reads the modules while the user waits, and says what was saved.
    void Save(const std::vector<DeviceRecord*>& selected);
    // Asks for the file; the preview and the Setting follow the settings command's read.
    void Restore(const std::vector<DeviceRecord*>& selected);

private:
    QWidget& m_window;
    const CControllerListCtrl& m_list;
    CControllerManager& m_manager;
    CommandPrompts& m_prompts;
};

}  // namespace tarrowind
