#pragma once

#include <string>
#include <string_view>

namespace tarrowind {

// Texts of the string table write a line break as "\n": this turns the four escapes \\ \n \r \t into
// their characters in one left-to-right pass. A backslash before any other character stays with that
// character, and a backslash at the very end stays; both characters of an escape are consumed, so the
// result is never unescaped again ("\\n" gives a backslash and the letter n).
std::string UnescapeText(std::string_view text);

}  // namespace tarrowind
