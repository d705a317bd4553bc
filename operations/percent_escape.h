#pragma once

#include <string>
#include <string_view>

namespace tarrowind {

// What a module's form reads as syntax, and the hex case it has always been sent in. Control bytes,
// DEL and non-ASCII bytes are escaped under every set.
struct EscapeSet {
    std::string_view reserved;
    bool upperCaseHex = false;
};

// The login CGI's query: what would end or extend a value ("%" included), upper-case hex.
inline constexpr EscapeSet kLoginQueryEscapes{" &#%+=?", true};
// The configuration form: every character that means something in a form or an address, lower-case hex.
// "%" itself stays, as the modules' own pages send it.
inline constexpr EscapeSet kConfigurationFormEscapes{" \"#$&+,;<=>?@[\\]^`{|}", false};

// `value` with each escaped byte as "%" and two hex digits, appended to `out`: a password goes straight
// into its request without a copy of its own.
void AppendPercentEscaped(std::string& out, std::string_view value, const EscapeSet& set);
// The same in a string of its own, reserved for the longest result so that growing leaves no copy behind.
std::string PercentEscaped(std::string_view value, const EscapeSet& set);

}  // namespace tarrowind
