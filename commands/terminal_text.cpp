#include "commands/terminal_text.h"

#include <cstdint>
#include <cstdio>

#include "platform/utf8_sequence.h"

namespace tarrowind {
namespace {

char32_t Decode(std::string_view sequence)
{
    const auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(sequence[i])); };
    switch (sequence.size()) {
    case 1:
        return byte(0);
    case 2:
        return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
    case 3:
        return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    default:
        return ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) | (byte(3) & 0x3F);
    }
}

// Characters a terminal acts on or reorders text by, rather than showing.
bool IsHidden(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string Escape(char32_t c, bool json)
{
    char text[12];
    // Characters from U+0080 on as \uNNNN, so that \xNN always names one byte: a control below 0x80
    // or a byte that is not UTF-8.
    if (json || c >= 0x80) {
        std::snprintf(text, sizeof text, "\\u%04x", static_cast<unsigned>(c));
    } else {
        std::snprintf(text, sizeof text, "\\x%02x", static_cast<unsigned>(c));
    }
    return text;
}

std::string Rewrite(std::string_view text, bool json)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t n = Utf8SequenceLength(text);
        if (n == 0) {
            if (json) {
                out += text.front();  // never in a library's dump; left as it is
            } else {
                char byte[8];
                std::snprintf(byte, sizeof byte, "\\x%02x", static_cast<unsigned>(static_cast<unsigned char>(text.front())));
                out += byte;
            }
            text.remove_prefix(1);
            continue;
        }
        const char32_t c = Decode(text.substr(0, n));
        // Inside a JSON dump the controls below 0x20 are already escaped; outside strings they are the
        // dump's own layout.
        if (IsHidden(c) && !(json && c < 0x20)) {
            out += Escape(c, json);
        } else {
            out.append(text.substr(0, n));
        }
        text.remove_prefix(n);
    }
    return out;
}

}  // namespace

std::string TerminalSafe(std::string_view text)
{
    return Rewrite(text, false);
}

std::string JsonTerminalSafe(std::string_view json)
{
    return Rewrite(json, true);
}

std::string TerminalColumn(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        c = c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
    }
    return TerminalSafe(out);
}

}  // namespace tarrowind
