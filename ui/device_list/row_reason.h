#pragma once

#include <QString>

#include "discovery/device_record.h"

namespace tarrowind {

// Why a row stands where it does, in the user's language, for its status tooltip: what refused or
// failed, that the module takes no login, what a firmware update left it running, that its queued action
// was withdrawn. Empty when the status says all there is.
QString RowReason(const DeviceRecord& shown);

}  // namespace tarrowind
