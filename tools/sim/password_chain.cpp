#include "password_chain.h"

namespace tarrowind::sim {

namespace {

int lowerHex(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

std::optional<std::vector<std::uint8_t>> decodePasswordChain(std::string_view chain)
{
    std::vector<std::uint8_t> characters;
    if (chain.empty()) return characters;
    if (chain.size() % 3 != 0 || chain.size() / 3 > kMaxChainCharacters + 1) return std::nullopt;
    int previous = -1;
    for (std::size_t at = 0; at < chain.size(); at += 3) {
        const int high = lowerHex(chain[at + 1]);
        const int low = lowerHex(chain[at + 2]);
        if (chain[at] != '-' || high < 0 || low < 0) return std::nullopt;
        const int byte = high * 16 + low;
        if (previous >= 0) characters.push_back(static_cast<std::uint8_t>(byte ^ previous));
        previous = byte;
    }
    return characters;
}

std::optional<std::vector<std::uint8_t>> utf16LowBytes(std::string_view utf8)
{
    std::vector<std::uint8_t> out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::uint32_t code = 0;
        std::size_t extra = 0;
        std::uint32_t minimum = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            code = lead & 0x1Fu, extra = 1, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            code = lead & 0x0Fu, extra = 2, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            code = lead & 0x07u, extra = 3, minimum = 0x10000;
        } else {
            return std::nullopt;
        }
        if (utf8.size() - i - 1 < extra) return std::nullopt;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            code = (code << 6) | (next & 0x3Fu);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
        if (code >= 0x10000) {
            const std::uint32_t rest = code - 0x10000;
            out.push_back(static_cast<std::uint8_t>(0xD800 + (rest >> 10)));
            out.push_back(static_cast<std::uint8_t>(0xDC00 + (rest & 0x3FF)));
        } else {
            out.push_back(static_cast<std::uint8_t>(code));
        }
        i += extra + 1;
    }
    return out;
}

bool chainMatchesPassword(std::string_view chain, std::string_view utf8Password)
{
    const auto sent = decodePasswordChain(chain);
    const auto expected = utf16LowBytes(utf8Password);
    return sent && expected && *sent == *expected;
}

} // namespace tarrowind::sim
