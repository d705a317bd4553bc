#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarrowind {

// Texts of the string table are user-editable, so they are never handed to the printf family: this small
// formatter takes only what the program's texts need and checks every conversion against the arguments.
// Accepted: "%%", and %d, %i or %u with the flags "-", "+", " " and "0", a decimal width and a precision
// of at most kMaxFormatField, each consuming one int argument in order. Anything else after a "%" (%s, %n,
// %p, %c, "*", "$", a length modifier, "#", a lone "%" at the end) makes the text no format at all.
inline constexpr std::size_t kMaxFormatField = 1023;

// The conversion letters of `format` in order ("dd" for two integers), or nothing when the text holds a
// conversion this formatter does not take.
std::optional<std::string> FormatConversions(std::string_view format);

// `format` filled with `args`, or nothing when it is no format for them: a conversion it does not take,
// or more conversions than arguments. Surplus arguments are ignored, as printf does.
std::optional<std::string> FormatInts(std::string_view format, std::span<const int> args);

// FormatInts, or the text unchanged when it is no format for these arguments.
std::string FormatIntsOrVerbatim(std::string_view format, std::span<const int> args);

}  // namespace tarrowind
