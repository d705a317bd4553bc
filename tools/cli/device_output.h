#pragma once

#include <string>

#include "discovery/device_record.h"

namespace tarrowind {

// One module as a tab-separated line: kind, model, version, name, MAC, IP, mask, gateway, adapter,
// adapter index, useHttps, dhcp, status. Control characters in the texts are shown as escapes.
std::string DeviceLine(const DeviceRecord& record);
// The same as one JSON object on one line, with whether the reply came from the address it names
// ("addressConfirmed"), where it came from ("replyFrom", empty when unknown), the newest version the
// firmware list names for its model ("latestVersion", empty when none) and whether that is newer than
// the module's ("updateAvailable", null when the list does not say).
std::string DeviceJson(const DeviceRecord& record);

}  // namespace tarrowind
