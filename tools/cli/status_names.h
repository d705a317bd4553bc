#pragma once

#include <cstdint>

#include "discovery/device_record.h"  // IsFailureStatus

namespace tarrowind {

// The suffix of a status's key, e.g. "LOGIN_SUCCESSFULLY" for 6; "?" for codes outside the table.
const char* StatusName(std::int32_t status);
// The action's name, e.g. "SetLogin"; "None" for 0.
const char* ActionName(std::int32_t action);

}  // namespace tarrowind
