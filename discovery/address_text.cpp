#include "discovery/address_text.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

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
    const auto bytes = ReadGroups<4>(text, 10, '.');
    std::uint32_t value;
    static_assert(sizeof value == sizeof bytes);
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

std::array<std::uint8_t, 6> ParseMacText(std::string_view text)
{
    return ReadGroups<6>(text, 16, ':');
}

std::string FormatIp(std::uint32_t networkOrder)
{
    const auto* b = reinterpret_cast<const std::uint8_t*>(&networkOrder);
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    return text;
}

std::string FormatMac(const std::array<std::uint8_t, 6>& m)
{
    char text[18];
    std::snprintf(text, sizeof text, "%.2X:%.2X:%.2X:%.2X:%.2X:%.2X", m[0], m[1], m[2], m[3], m[4], m[5]);
    return text;
}

std::uint32_t InetAddr(std::string_view text)
{
    const std::string copy(text);
    return ::inet_addr(copy.c_str());
}

}  // namespace tarrowind
