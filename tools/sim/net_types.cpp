#include "net_types.h"

#include <charconv>
#include <cstdio>

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
    Ipv4Address value = 0;
    const char* p = text.data();
    const char* const end = text.data() + text.size();
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (p == end || *p != '.') return std::nullopt;
            ++p;
        }
        // No signs, no empty parts, no leading zeros that could be read as octal elsewhere.
        if (p == end || *p < '0' || *p > '9') return std::nullopt;
        if (*p == '0' && p + 1 != end && p[1] >= '0' && p[1] <= '9') return std::nullopt;
        unsigned number = 0;
        const auto [next, error] = std::from_chars(p, end, number);
        if (error != std::errc{} || number > 255) return std::nullopt;
        value = (value << 8) | number;
        p = next;
    }
    if (p != end) return std::nullopt;
    return value;
}

std::string formatIpv4(Ipv4Address ip)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", (ip >> 24) & 0xFFu, (ip >> 16) & 0xFFu,
                  (ip >> 8) & 0xFFu, ip & 0xFFu);
    return text;
}

} // namespace tarrowind::sim
