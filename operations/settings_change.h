#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "discovery/dactyl_settings.h"
#include "discovery/device_record.h"
#include "operations/http_target.h"
#include "platform/http_client.h"
#include "platform/secret_wipe.h"

namespace tarrowind {

struct ModuleSettings;

// The pending payload of a settings action that changes only some of a module's values, for changes
// made to many modules at once: the worker reads what the module has and changes only the fields set.
// Addresses are in network byte order, like DeviceRecord::ip.
struct SettingsChange {
    // A login the module is to take instead of its current one.
    struct Login {
        std::string userName;
        std::string password;
        ~Login() { WipeString(password); }
    };

    std::optional<std::string> name;
    std::optional<bool> dhcp;
    std::optional<std::uint32_t> ip;
    std::optional<std::uint32_t> mask;
    std::optional<std::uint32_t> gateway;
    std::optional<Login> login;

    bool Empty() const { return !name && !dhcp && !ip && !mask && !gateway && !login; }
};

// Sets the fields of a web module's configuration that the change gives; the rest stay as read.
void ApplySettingsChange(const SettingsChange& change, ModuleSettings& settings);

// Reads the module's configuration from `target`, applies the change and posts the whole form back,
// the login unchanged unless the change gives one; `settings` receives what was posted. A read that
// fails, or that lacks a value the form carries (kHttpPageIncomplete), posts nothing and gives its result.
std::int32_t ChangeModuleSettings(const SettingsChange& change, const HttpTarget& target, HttpClient& http,
                                  ModuleSettings& settings);

// A reader's settings request: its current name, DHCP client and addresses, with the change's fields
// in their place.
DactylSettingsBytes DactylRequestWithChange(const DeviceRecord& record, const SettingsChange& change);

}  // namespace tarrowind
