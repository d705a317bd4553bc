#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarrowind {

// Four decimal numbers separated by "."; each byte is the low 8 bits of its number, and a number that
// cannot be read gives 0. Returned in network byte order (first number in the lowest-addressed byte).
std::uint32_t ParseIpText(std::string_view text);
// Six hexadecimal numbers separated by ":"; each byte is the low 8 bits of its number, and reading
// stops at the first number that cannot be read (the rest stay 0).
std::array<std::uint8_t, 6> ParseMacText(std::string_view text);

std::string FormatIp(std::uint32_t networkOrder);
std::string FormatMac(const std::array<std::uint8_t, 6>& mac);

// The system's dotted-address conversion: a valid address or 0xFFFFFFFF (all bits set) for bad text.
std::uint32_t InetAddr(std::string_view text);

}  // namespace tarrowind
