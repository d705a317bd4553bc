#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "discovery/device_record.h"

namespace tarrowind {

constexpr std::size_t kDactylRequestLength = 49;
constexpr std::size_t kAcknowledgementMinLength = 12;
using DactylSettingsBytes = std::array<std::uint8_t, kDactylRequestLength>;

// The pending payload of a settings action on a BinaryDactyl reader.
struct DactylSettingsRequest {
    explicit DactylSettingsRequest(const DactylSettingsBytes& request) : bytes(request) {}
    DactylSettingsBytes bytes;
};

// The request that sets a reader's name, DHCP client and addressing. `ip`, `mask` and `gateway` have
// the first dotted number in the most significant byte.
DactylSettingsBytes MakeDactylSettingsRequest(const std::string& macText, const std::string& name, bool dhcp,
                                              std::uint32_t ip, std::uint32_t mask, std::uint32_t gateway);

// The address and mask a request gives its reader, in network byte order like DeviceRecord::ip; false
// when it turns the reader's DHCP client on (its next address is then unknown). A routed reader is
// requeried at its address, so after an acknowledged request its record must take the new one.
bool DactylRequestedAddress(const DactylSettingsBytes& request, std::uint32_t& ip, std::uint32_t& mask);

// The hardware-address text an acknowledgement carries, or empty when the datagram is none.
std::string AcknowledgedMacText(const std::uint8_t* data, std::int32_t length);

}  // namespace tarrowind
