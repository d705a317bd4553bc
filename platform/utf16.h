#pragma once

#include <string>
#include <string_view>

namespace tarrowind {

// UTF-16 code units of a UTF-8 text: where lengths and character codes are counted in 16-bit units.
std::u16string ToUtf16(std::string_view utf8);

// Appends the UTF-8 bytes of one code point.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace tarrowind
