#pragma once

#include <string>

#include "discovery/device_record.h"

namespace tarrowind {

// One module as a tab-separated line: kind, model, version, name, MAC, IP, mask, gateway, adapter,
// adapter index, useHttps, dhcp, status.
std::string DeviceLine(const DeviceRecord& record);
// The same as one JSON object on one line.
std::string DeviceJson(const DeviceRecord& record);

}  // namespace tarrowind
