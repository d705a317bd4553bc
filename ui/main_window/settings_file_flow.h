#pragma once

#include <memory>
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
    ~SettingsFileFlow();

    // Asks for the folder, reads the modules while the user waits, and says what was saved.
    void Save(const std::vector<DeviceRecord*>& selected);
    // Asks for the file; the preview and the Setting follow the settings command's read.
    void Restore(const std::vector<DeviceRecord*>& selected);

private:
    struct Restoring;

    QWidget& m_window;
    const CControllerListCtrl& m_list;
    CControllerManager& m_manager;
    CommandPrompts& m_prompts;
    // The restore's file and commands live as long as the window: a read the user stopped waiting for
    // ends after the command has returned.
    std::unique_ptr<Restoring> m_restoring;
};

}  // namespace tarrowind
