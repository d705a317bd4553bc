#pragma once

#include <cstddef>
#include <string_view>

namespace tarrowind {

// Length of the valid UTF-8 sequence at the start of `s` (no overlong form, no surrogate, at most
// U+10FFFF), or 0.
std::size_t Utf8SequenceLength(std::string_view s);
// Whether every byte belongs to such a sequence.
bool IsValidUtf8(std::string_view bytes);

}  // namespace tarrowind
