#include "commands/row_filter.h"

#include <cstdint>

#include "platform/ascii_case.h"
#include "platform/utf16.h"

namespace tarrowind {
namespace {

constexpr char kSeparator = '\n';

// Simple case folding of the blocks where pairs follow a regular pattern.
char32_t Fold(char32_t c)
{
    if (c < 0x80) {
        return c >= 'A' && c <= 'Z' ? c + 32 : c;
    }
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return c + 32;
    }
    if (c == 0xB5) {
        return 0x3BC;  // micro sign folds to mu
    }
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149) {
            return c;  // dotted capital I, dotless i, kra and n-apostrophe have no simple folding
        }
        if (c == 0x178) {
            return 0xFF;
        }
        if (c == 0x17F) {
            return 's';
        }
        // Pairs start on even code points, except in 0139-0148 and 0179-017E where they start on odd.
        const bool oddStart = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        return (c % 2 == (oddStart ? 1u : 0u)) ? c + 1 : c;
    }
    if (c >= 0x370 && c <= 0x3FF) {
        if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) {
            return c + 32;
        }
        switch (c) {
        case 0x386: return 0x3AC;
        case 0x388: case 0x389: case 0x38A: return c + 37;
        case 0x38C: return 0x3CC;
        case 0x38E: case 0x38F: return c + 63;
        case 0x3C2: return 0x3C3;  // final sigma
        default: return c;
        }
    }
    if (c >= 0x400 && c <= 0x52F) {
        if (c <= 0x40F) {
            return c + 80;
        }
        if (c <= 0x42F) {
            return c + 32;
        }
        if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F)) {
            return c % 2 == 0 ? c + 1 : c;
        }
        if (c == 0x4C0) {
            return 0x4CF;
        }
        if (c >= 0x4C1 && c <= 0x4CE) {
            return c % 2 == 1 ? c + 1 : c;
        }
        return c;
    }
    if (c >= 0xFF21 && c <= 0xFF3A) {
        return c + 32;  // full-width Latin capitals
    }
    return c;
}

// Length of the well-formed UTF-8 sequence at `s[i]` and its code point; 0 when it is not one.
std::size_t Decode(std::string_view s, std::size_t i, char32_t& c)
{
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
    const std::uint8_t b0 = byte(i);
    std::size_t n = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2, c = b0 & 0x1Fu, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3, c = b0 & 0x0Fu, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4, c = b0 & 0x07u, min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u) {
            return 0;
        }
        c = (c << 6) | (byte(i + k) & 0x3Fu);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return 0;
    }
    return n;
}

}  // namespace

std::string FoldCase(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const std::size_t n = Decode(utf8, i, c);
        if (n == 0) {
            const char b = utf8[i++];
            out += LowerAscii(b);
            continue;
        }
        AppendUtf8(out, Fold(c));
        i += n;
    }
    return out;
}

RowFilter::RowFilter(std::string_view typed)
{
    std::string kept;
    for (const char c : typed) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
            kept += c;
        }
    }
    const std::size_t first = kept.find_first_not_of(' ');
    const std::size_t last = kept.find_last_not_of(' ');
    m_needle = first == std::string::npos ? std::string() : FoldCase(kept.substr(first, last - first + 1));
}

bool RowFilter::Matches(std::string_view folded) const
{
    return m_needle.empty() || folded.find(m_needle) != std::string_view::npos;
}

std::string RowFilter::Haystack(std::initializer_list<std::string_view> texts)
{
    std::string joined;
    for (const std::string_view text : texts) {
        if (!joined.empty()) {
            joined += kSeparator;
        }
        joined += FoldCase(text);
    }
    return joined;
}

}  // namespace tarrowind
