#pragma once

#include <array>
#include <bit>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarrowind {

// An IPv4 address. The core keeps addresses as plain 32-bit numbers in one of two byte orders: network
// order as sockets and the module's replies carry them (the first dotted number in the lowest-addressed
// byte), and host order for arithmetic and ranges (the first dotted number in the most significant byte).
// Every crossing between the two, and to and from dotted text, goes through this type so that the order
// is named where it changes.
class Ipv4Address {
public:
    constexpr Ipv4Address() = default;

    static constexpr Ipv4Address FromHostOrder(std::uint32_t value) { return Ipv4Address(value); }
    static constexpr Ipv4Address FromNetworkOrder(std::uint32_t value) { return Ipv4Address(Swapped(value)); }
    static constexpr Ipv4Address FromOctets(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
    {
        return Ipv4Address(std::uint32_t{a} << 24 | std::uint32_t{b} << 16 | std::uint32_t{c} << 8 | d);
    }

    // Four decimal numbers of 0 to 255 with dots between and nothing else: no blanks, signs, host names
    // or short forms. A leading zero ("010") is refused unless `zeros` says it is decimal, since other
    // readers of the same text may take it as octal.
    enum class LeadingZeros { Refused, Decimal };
    static std::optional<Ipv4Address> FromText(std::string_view text, LeadingZeros zeros = LeadingZeros::Refused);
    // The same, for an address at the start of `text`: on success `text` keeps what follows it. A digit
    // right after the fourth number is no address.
    static std::optional<Ipv4Address> ReadText(std::string_view& text, LeadingZeros zeros = LeadingZeros::Refused);

    constexpr std::uint32_t HostOrder() const { return m_hostOrder; }
    constexpr std::uint32_t NetworkOrder() const { return Swapped(m_hostOrder); }
    constexpr std::array<std::uint8_t, 4> Octets() const
    {
        return {static_cast<std::uint8_t>(m_hostOrder >> 24), static_cast<std::uint8_t>(m_hostOrder >> 16),
                static_cast<std::uint8_t>(m_hostOrder >> 8), static_cast<std::uint8_t>(m_hostOrder)};
    }
    std::string ToText() const;  // "192.0.2.1"

    // Ordered as numbers in host order, so that ranges compare as they read.
    constexpr auto operator<=>(const Ipv4Address&) const = default;

private:
    constexpr explicit Ipv4Address(std::uint32_t hostOrder) : m_hostOrder(hostOrder) {}

    // Host and network order differ only on a little-endian machine; the swap is its own inverse.
    static constexpr std::uint32_t Swapped(std::uint32_t v)
    {
        if constexpr (std::endian::native == std::endian::big) {
            return v;
        }
        return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
    }

    std::uint32_t m_hostOrder = 0;
};

// The two orders of one value, for a number already known to be in the other order.
constexpr std::uint32_t HostToNetworkOrder(std::uint32_t hostOrder)
{
    return Ipv4Address::FromHostOrder(hostOrder).NetworkOrder();
}
constexpr std::uint32_t NetworkToHostOrder(std::uint32_t networkOrder)
{
    return Ipv4Address::FromNetworkOrder(networkOrder).HostOrder();
}

}  // namespace tarrowind
