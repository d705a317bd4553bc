#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commands/address_rules.h"
#include "commands/settings_backup.h"
#include "discovery/device_record.h"

namespace tarrowind {

// What a restore does to one value of the configuration.
enum class RestoreFieldState {
    Unchanged,  // the file holds what the module has
    Changed,    // the module takes the file's value
    Kept,       // a network value left as the module has it (the file's differs)
};

struct RestoreField {
    const char* field;  // English name, for the command line
    const char* key;    // string-table key of the field's caption, for the window
    std::string oldText, newText;  // empty for a secret: its value is never shown
    std::string fileText;          // the file's value (empty for a secret)
    bool secret = false;
    bool network = false;  // address, mask, gateway or DHCP: restored only when asked for
    RestoreFieldState state = RestoreFieldState::Unchanged;
};

// Every value of the configuration form, in the form's order, as the module has it (`current`) and as
// the restore would leave it.
std::vector<RestoreField> PreviewRestore(const ModuleSettings& current, const ModuleSettings& saved,
                                         bool withNetwork);

// Puts the file's values into `settings` (what the module has), the network values only `withNetwork`;
// the target and the login stay as they are.
void ApplyRestore(const ModuleSettings& saved, bool withNetwork, ModuleSettings& settings);

// Why a file's settings do not go to the module; nothing when they do. A file of one model never goes
// to another: the values mean different things there.
std::optional<std::string> RestoreRefusal(const SettingsBackup& backup, const DeviceRecord& module);

// The addressing a restore with the network values would give `module`, held to the rules every new
// address keeps: a usable addressing, and a static address no other listed module has.
struct RestoreAddressCheck {
    AddressRule rule = AddressRule::Usable;
    const DeviceRecord* holder = nullptr;  // the listed module that has the address already
    Addressing addressing;
    bool Usable() const { return rule == AddressRule::Usable && holder == nullptr; }
};
RestoreAddressCheck CheckRestoreAddressing(const DeviceRecord& module, const ModuleSettings& saved,
                                           const std::vector<const DeviceRecord*>& listed);
// One English sentence for a check that is not Usable.
std::string DescribeRestoreAddressCheck(const RestoreAddressCheck& check);

}  // namespace tarrowind
