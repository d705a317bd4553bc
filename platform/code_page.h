#pragma once

#include <string>
#include <string_view>

namespace tarrowind {

// Texts inside the program are UTF-8. Some bytes on the wire are in the system's 8-bit code page: the
// locale's character set, or Windows-1252 under the "C"/POSIX locale.

// Bytes in the 8-bit code page to UTF-8; undecodable bytes become U+FFFD.
std::string AnsiToUtf8(std::string_view bytes);
// UTF-8 to the 8-bit code page; characters it cannot hold become "?".
std::string Utf8ToAnsi(std::string_view text);
// UTF-8 from an untrusted source, with every invalid sequence replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view bytes);
// Name of the character set used as the 8-bit code page, as iconv knows it.
const std::string& AnsiCharset();

}  // namespace tarrowind
