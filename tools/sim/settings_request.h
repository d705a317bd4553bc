#pragma once

#include "module_state.h"
#include "net_types.h"

#include <cstdint>
#include <optional>
#include <span>

namespace tarrowind::sim {

struct DactylSettingsRequest {
    MacAddress mac{};          // the reader it is meant for
    NetworkSettings settings;  // what the reader takes on when it restarts
};

// The 49-byte binary frame that sets a reader's name and IPv4 settings. Anything else, a bad
// checksum, or a wrong constant gives nothing.
std::optional<DactylSettingsRequest> decodeSettingsRequest(std::span<const std::uint8_t> bytes);

// The 4-byte binary discovery probe.
bool isBinaryProbe(std::span<const std::uint8_t> bytes);

// The 4-byte text discovery probe "info".
bool isTextProbe(std::span<const std::uint8_t> bytes);

} // namespace tarrowind::sim
