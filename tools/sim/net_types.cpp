#include "net_types.h"

#include <cstdio>

#include "platform/ipv4_address.h"

namespace tarrowind::sim {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<MacAddress> parseMac(std::string_view text)
{
    if (text.size() != 17) return std::nullopt;
    const char separator = text[2];
    if (separator != ':' && separator != '-') return std::nullopt;
    MacAddress mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const std::size_t at = i * 3;
        if (i > 0 && text[at - 1] != separator) return std::nullopt;
        const int high = hexDigit(text[at]);
        const int low = hexDigit(text[at + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        mac[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return mac;
}

std::string formatMac(const MacAddress& mac)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return text;
}

std::optional<Ipv4Address> parseIpv4(std::string_view text)
{
    const auto address = tarrowind::Ipv4Address::FromText(text);
    return address ? std::optional<Ipv4Address>(address->HostOrder()) : std::nullopt;
}

std::string formatIpv4(Ipv4Address ip)
{
    return tarrowind::Ipv4Address::FromHostOrder(ip).ToText();
}

} // namespace tarrowind::sim
