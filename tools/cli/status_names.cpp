#include "tools/cli/status_names.h"

#include <array>

#include "discovery/device_record.h"

namespace tarrowind {

const char* StatusName(std::int32_t status)
{
    static constexpr std::array<const char*, kStatusCount> kNames = {
        "NOT_SUPPORTED", "NONE", "CANNOT_ACCESS", "QUEUE_LOGIN", "LOGIN", "LOGIN_FAILED",
        "LOGIN_SUCCESSFULLY", "QUEUE_SETTING", "SETTING", "SETTING_FAILED", "QUEUE_REBOOT", "REBOOT",
        "REBOOT_FAILED", "QUEUE_SET_DEFAULT", "SET_DEFAULT", "SET_DEFAULT_FAILED", "QUEUE_FIRMWARE_UPDATE",
        "FIRMWARE_UPLOADING", "FIRMWARE_UPDATING", "FIRMWARE_UPDATE_FAILED", "LATEST_VERSION", "UNKNOWN",
        "WAIT_FOR_FIRMWARE_UPDATE", "WAIT_FOR_LOGIN", "FIRMWARE_NOT_TAKEN", "CERTIFICATE_CHANGED",
        "ADDRESS_UNUSABLE", "ADDRESS_NOT_CONFIRMED", "SETTINGS_UNREADABLE",
    };
    return status >= 0 && status < static_cast<std::int32_t>(kNames.size()) ? kNames[static_cast<std::size_t>(status)] : "?";
}

const char* ActionName(std::int32_t action)
{
    static constexpr std::array<const char*, 7> kNames = {
        "None", "SetLogin", "Setting", "Reboot", "Default", "FirmwareUpdate", "FirmwareUpdateToLatest",
    };
    return action >= 0 && action < static_cast<std::int32_t>(kNames.size()) ? kNames[static_cast<std::size_t>(action)] : "?";
}

}  // namespace tarrowind
