#pragma once

#include <QWidget>

#include "commands/module_commands.h"

namespace tarrowind {

// The module commands' questions as the window's modal dialogs, owned by `parent`.
class DialogPrompts final : public CommandPrompts {
public:
    DialogPrompts(QWidget* parent, const CControllerManager& manager) : m_parent(parent), m_manager(manager) {}

    bool AskLogin(std::string& loginId, std::string& password) override;
    bool EditModuleSettings(ModuleSettings& settings) override;
    bool EditDactylSettings(DactylSettingValues& values) override;
    bool AskFirmwareFile(DeviceRecord& first, std::string& path) override;
    void OpenAddress(const std::string& url) override;
    void AddressInUse(const DeviceRecord& record) override;

private:
    QWidget* m_parent;
    const CControllerManager& m_manager;
};

}  // namespace tarrowind
