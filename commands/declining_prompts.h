#pragma once

#include "commands/module_commands.h"

namespace tarrowind {

// A user who declines every question: for programs that drive the window without anyone at it.
class DecliningPrompts final : public CommandPrompts {
public:
    bool AskLogin(std::string&, std::string&) override { return false; }
    bool EditModuleSettings(ModuleSettings&) override { return false; }
    bool EditDactylSettings(DactylSettingValues&) override { return false; }
    bool AskFirmwareFile(DeviceRecord&, std::string&) override { return false; }
    void OpenAddress(const std::string&) override {}
    void AddressInUse(const DeviceRecord&) override {}
};

}  // namespace tarrowind
