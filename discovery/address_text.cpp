#include "discovery/address_text.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "platform/ipv4_address.h"

namespace tarrowind {
namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int DigitValue(char c, int base)
{
    int v = -1;
    if (c >= '0' && c <= '9') {
        v = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        v = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        v = c - 'A' + 10;
    }
    return v < base ? v : -1;
}

// Reads one number the way scanf's %d or %x does (leading blanks, a sign, "0x" for hex); keeps the
// low bits only, so oversized numbers wrap instead of overflowing.
bool ReadNumber(std::string_view text, std::size_t& pos, int base, std::uint8_t& out)
{
    std::size_t p = pos;
    while (p < text.size() && IsSpace(text[p])) {
        ++p;
    }
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        negative = text[p] == '-';
        ++p;
    }
    if (base == 16 && p + 1 < text.size() && text[p] == '0' && (text[p + 1] == 'x' || text[p + 1] == 'X') &&
        p + 2 < text.size() && DigitValue(text[p + 2], 16) >= 0) {
        p += 2;
    }
    const std::size_t first = p;
    std::uint32_t value = 0;
    while (p < text.size() && DigitValue(text[p], base) >= 0) {
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(DigitValue(text[p], base));
        ++p;
    }
    if (p == first) {
        return false;
    }
    if (negative) {
        value = 0u - value;
    }
    out = static_cast<std::uint8_t>(value & 0xFF);
    pos = p;
    return true;
}

template <std::size_t N>
std::array<std::uint8_t, N> ReadGroups(std::string_view text, int base, char separator)
{
    std::array<std::uint8_t, N> bytes{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != separator) {
                break;
            }
            ++pos;
        }
        if (!ReadNumber(text, pos, base, bytes[i])) {
            break;
        }
    }
    return bytes;
}

}  // namespace

std::uint32_t ParseIpText(std::string_view text)
{
    const auto b = ReadGroups<4>(text, 10, '.');
    return Ipv4Address::FromOctets(b[0], b[1], b[2], b[3]).NetworkOrder();
}

std::array<std::uint8_t, 6> ParseMacText(std::string_view text)
{
    return ReadGroups<6>(text, 16, ':');
}

std::string FormatIp(std::uint32_t networkOrder)
{
    return Ipv4Address::FromNetworkOrder(networkOrder).ToText();
}

std::string FormatMac(const std::array<std::uint8_t, 6>& m)
{
    char text[18];
    std::snprintf(text, sizeof text, "%.2X:%.2X:%.2X:%.2X:%.2X:%.2X", m[0], m[1], m[2], m[3], m[4], m[5]);
    return text;
}

// The C library's inet_addr, the same on every system: one to four parts, each decimal, octal ("0" first)
// or hexadecimal ("0x"), the last part filling the bytes left; a blank ends the address.
std::uint32_t InetAddr(std::string_view text)
{
    constexpr std::uint32_t kNone = 0xFFFFFFFF;
    const std::string copy(text);
    const char* cp = copy.c_str();
    std::uint64_t parts[4] = {};
    int count = 0;
    for (;;) {
        if (!std::isdigit(static_cast<unsigned char>(*cp))) {
            return kNone;
        }
        char* end = nullptr;
        const unsigned long long value = std::strtoull(cp, &end, 0);
        if (value > 0xFFFFFFFFull) {
            return kNone;
        }
        parts[count++] = value;
        cp = end;
        if (*cp != '.') {
            break;
        }
        if (count == 4 || value > 0xFF) {
            return kNone;
        }
        ++cp;
    }
    if (*cp != '\0' && !std::isspace(static_cast<unsigned char>(*cp))) {
        return kNone;
    }
    static constexpr std::uint64_t kLastLimit[] = {0xFFFFFFFFull, 0xFFFFFFull, 0xFFFFull, 0xFFull};
    if (parts[count - 1] > kLastLimit[count - 1]) {
        return kNone;
    }
    std::uint32_t host = static_cast<std::uint32_t>(parts[count - 1]);
    for (int i = 0; i + 1 < count; ++i) {
        host |= static_cast<std::uint32_t>(parts[i]) << (24 - 8 * i);
    }
    return HostToNetworkOrder(host);
}

}  // namespace tarrowind
