#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarrowind::sim {

using MacAddress = std::array<std::uint8_t, 6>;

// IPv4 addresses are held as plain numbers in host order (the first dotted number is the most significant
// byte); tarrowind::Ipv4Address converts them at the sockets and to text.
using Ipv4Address = std::uint32_t;

inline constexpr MacAddress kBroadcastMac{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
inline constexpr Ipv4Address kLimitedBroadcast = 0xFFFFFFFFu;

// Accepts six two-digit hex groups separated by ':' or '-'.
std::optional<MacAddress> parseMac(std::string_view text);
// Upper case, ':' separated.
std::string formatMac(const MacAddress& mac);

// Strict dotted quad, four decimal numbers 0..255 without leading zeros.
std::optional<Ipv4Address> parseIpv4(std::string_view text);
std::string formatIpv4(Ipv4Address ip);

} // namespace tarrowind::sim
