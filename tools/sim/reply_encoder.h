#pragma once

#include "sim_config.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tarrowind::sim {

using Bytes = std::vector<std::uint8_t>;

// 0 minus the sum of the bytes, modulo 256: appended, it makes a frame add up to 0.
std::uint8_t frameChecksum(std::span<const std::uint8_t> bytes);

// Discovery reply of a text module (172, 252, 256 or 282 bytes, from module.replyLength).
Bytes encodeTextReply(const ModuleConfig& module);

// 84-byte discovery reply of a BinaryDactyl reader. module.version must parse as V<a>.<b>R<c>.
Bytes encodeBinaryReply(const ModuleConfig& module);

// The reply the module sends to a discovery probe, faults (bad checksum, wrong length) included.
Bytes encodeDiscoveryReply(const ModuleConfig& module);

// 12-byte acknowledgement of a Dactyl settings request.
Bytes encodeSettingsAck(const MacAddress& mac);

} // namespace tarrowind::sim
