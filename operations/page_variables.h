#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarrowind {

// Readers of the script variables of a module's pages, such as  var va_machname = 'Door 1';  and
// var va_EnableDHCP = 1;  Each key is searched from the start of the page.

// Text form: after the key and an apostrophe, up to the next apostrophe followed by a semicolon;
// empty when the key or the closing pair is missing.
std::string TextVariable(std::string_view page, std::string_view key);
// Number form: the decimal number after the key, up to the next semicolon (blanks and a sign allowed,
// reading stops at the first other character); 0 when the key, the semicolon or the number is missing.
std::int32_t NumberVariable(std::string_view page, std::string_view key);
// The same, but nothing where the page does not carry the variable in its form (key, closing pair,
// or for a number its semicolon and at least one digit), so that a reader can tell a value from a gap.
std::optional<std::string> FindTextVariable(std::string_view page, std::string_view key);
std::optional<std::int32_t> FindNumberVariable(std::string_view page, std::string_view key);
// A decimal number as scanf's "%d" reads it: leading blanks, a sign, digits; saturates instead of
// overflowing. Empty when no digit could be read.
bool ReadDecimal(std::string_view text, std::int32_t& value);

}  // namespace tarrowind
