#pragma once

#include <string>
#include <string_view>

namespace tarrowind {

// UTF-16 code units of a UTF-8 text: where lengths and character codes are counted in 16-bit units.
std::u16string ToUtf16(std::string_view utf8);

}  // namespace tarrowind
