#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace tarrowind {

// Case of the 26 ASCII letters only. Every other byte, UTF-8 sequences included, stays as it is, and
// the result does not depend on the C locale as std::tolower's does.
constexpr char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string LowerAscii(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return LowerAscii(c); });
    return text;
}

inline std::string UpperAscii(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return UpperAscii(c); });
    return text;
}

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

}  // namespace tarrowind
