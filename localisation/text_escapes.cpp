#include "localisation/text_escapes.h"

namespace tarrowind {

std::string UnescapeText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            ++i;
            continue;
        }
        const char next = text[i + 1];
        switch (next) {
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        default:
            out += '\\';
            out += next;
            break;
        }
        i += 2;
    }
    return out;
}

}  // namespace tarrowind
