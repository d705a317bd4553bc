#include "platform/utf8_sequence.h"

#include <cstdint>
#include <cstring>

#include "platform/code_page.h"

namespace tarrowind {

std::size_t Utf8SequenceLength(std::string_view s)
{
    if (s.empty()) {
        return 0;
    }
    const auto b0 = static_cast<unsigned char>(s[0]);
    if (b0 < 0x80) {
        return 1;
    }
    std::size_t length;
    unsigned min;
    unsigned code;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2, min = 0x80, code = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, min = 0x800, code = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, min = 0x10000, code = b0 & 0x07;
    } else {
        return 0;
    }
    if (s.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (b & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

namespace {

// The end of the run of ASCII bytes that starts at `pos`, taken eight bytes at a time: list, table and
// plan files are read through here, and most of them are ASCII.
std::size_t SkipAscii(std::string_view s, std::size_t pos)
{
    std::uint64_t eight;
    while (s.size() - pos >= sizeof eight) {
        std::memcpy(&eight, s.data() + pos, sizeof eight);
        if ((eight & 0x8080808080808080u) != 0) {
            break;
        }
        pos += sizeof eight;
    }
    while (pos < s.size() && static_cast<unsigned char>(s[pos]) < 0x80) {
        ++pos;
    }
    return pos;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes)
{
    for (std::size_t pos = SkipAscii(bytes, 0); pos < bytes.size(); pos = SkipAscii(bytes, pos)) {
        const std::size_t n = Utf8SequenceLength(bytes.substr(pos));
        if (n == 0) {
            return false;
        }
        pos += n;
    }
    return true;
}

std::string SanitizeUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    // Valid runs are copied whole.
    std::size_t runStart = 0;
    for (std::size_t pos = SkipAscii(bytes, 0); pos < bytes.size(); pos = SkipAscii(bytes, pos)) {
        const std::size_t n = Utf8SequenceLength(bytes.substr(pos));
        if (n == 0) {
            out.append(bytes.substr(runStart, pos - runStart));
            out += "\xEF\xBF\xBD";
            runStart = ++pos;
        } else {
            pos += n;
        }
    }
    out.append(bytes.substr(runStart));
    return out;
}

}  // namespace tarrowind
