#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "discovery/dactyl_settings.h"
#include "discovery/device_record.h"

namespace tarrowind {

struct ModuleSettings;

// The pending payload of a settings action that changes only some of a module's values, for changes
// made to many modules at once: the worker reads what the module has and changes only the fields set.
// Addresses are in network byte order, like DeviceRecord::ip.
struct SettingsChange final : PendingPayload {
    std::optional<std::string> name;
    std::optional<bool> dhcp;
    std::optional<std::uint32_t> ip;
    std::optional<std::uint32_t> mask;
    std::optional<std::uint32_t> gateway;

    bool Empty() const { return !name && !dhcp && !ip && !mask && !gateway; }
};

// Sets the fields of a web module's configuration that the change gives; the rest stay as read.
void ApplySettingsChange(const SettingsChange& change, ModuleSettings& settings);

// A reader's settings request: its current name, DHCP client and addresses, with the change's fields
// in their place.
DactylSettingsBytes DactylRequestWithChange(const DeviceRecord& record, const SettingsChange& change);

}  // namespace tarrowind
