#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarrowind {

// The texts of a module's record as the modules and the system write them. Dotted text is read three ways,
// each as its source needs: ParseIpText as the modules' own texts have always been read, InetAddr as the
// system's tools read an address, and Ipv4Address::FromText (strict) for an address about to be used.

// Four decimal numbers separated by "."; each byte is the low 8 bits of its number, and a number that
// cannot be read gives 0. Returned in network byte order (first number in the lowest-addressed byte).
std::uint32_t ParseIpText(std::string_view text);
// Six hexadecimal numbers separated by ":"; each byte is the low 8 bits of its number, and reading
// stops at the first number that cannot be read (the rest stay 0).
std::array<std::uint8_t, 6> ParseMacText(std::string_view text);

std::string FormatIp(std::uint32_t networkOrder);  // dotted
std::string FormatMac(const std::array<std::uint8_t, 6>& mac);

// The system's dotted-address conversion: a valid address or 0xFFFFFFFF (all bits set) for bad text.
std::uint32_t InetAddr(std::string_view text);

}  // namespace tarrowind
