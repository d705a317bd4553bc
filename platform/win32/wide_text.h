#pragma once

#include <string>
#include <string_view>

namespace tarrowind {

// The program's UTF-8 texts and the UTF-16 texts of the Windows API. Invalid input becomes U+FFFD.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace tarrowind
