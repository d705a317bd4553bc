#include "operations/percent_escape.h"

namespace tarrowind {

void AppendPercentEscaped(std::string& out, std::string_view value, const EscapeSet& set)
{
    const char* const digits = set.upperCaseHex ? "0123456789ABCDEF" : "0123456789abcdef";
    for (const char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b > 0x7E || set.reserved.find(c) != std::string_view::npos) {
            out += '%';
            out += digits[b >> 4];
            out += digits[b & 0xF];
        } else {
            out += c;
        }
    }
}

std::string PercentEscaped(std::string_view value, const EscapeSet& set)
{
    std::string out;
    out.reserve(3 * value.size());
    AppendPercentEscaped(out, value, set);
    return out;
}

}  // namespace tarrowind
