#include "localisation/text_escapes.h"

namespace tarrowind {

std::string UnescapeText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        // The text up to the next backslash goes across whole.
        const std::size_t slash = text.find('\\', i);
        if (slash == std::string_view::npos || slash + 1 == text.size()) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, slash - i));
        const char next = text[slash + 1];
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
        i = slash + 2;
    }
    return out;
}

}  // namespace tarrowind
