#include "localisation/safe_format.h"

#include <cstdint>

namespace tarrowind {
namespace {

struct Conversion {
    bool leftAlign = false;
    bool plusSign = false;
    bool spaceSign = false;
    bool zeroPad = false;
    std::size_t width = 0;
    bool hasPrecision = false;
    std::size_t precision = 0;
    char letter = 0;
};

// Reads a decimal field starting at `pos`; false when it exceeds kMaxFormatField.
bool ReadField(std::string_view format, std::size_t& pos, std::size_t& value)
{
    value = 0;
    while (pos < format.size() && format[pos] >= '0' && format[pos] <= '9') {
        value = value * 10 + static_cast<std::size_t>(format[pos] - '0');
        if (value > kMaxFormatField) {
            return false;
        }
        ++pos;
    }
    return true;
}

// Parses the conversion whose "%" is at `pos - 1`; leaves `pos` after its letter.
std::optional<Conversion> ReadConversion(std::string_view format, std::size_t& pos)
{
    Conversion c;
    for (; pos < format.size(); ++pos) {
        const char flag = format[pos];
        if (flag == '-') {
            c.leftAlign = true;
        } else if (flag == '+') {
            c.plusSign = true;
        } else if (flag == ' ') {
            c.spaceSign = true;
        } else if (flag == '0') {
            c.zeroPad = true;
        } else {
            break;
        }
    }
    if (!ReadField(format, pos, c.width)) {
        return std::nullopt;
    }
    if (pos < format.size() && format[pos] == '.') {
        ++pos;
        c.hasPrecision = true;
        if (!ReadField(format, pos, c.precision)) {
            return std::nullopt;
        }
    }
    if (pos >= format.size()) {
        return std::nullopt;
    }
    c.letter = format[pos++];
    if (c.letter != 'd' && c.letter != 'i' && c.letter != 'u') {
        return std::nullopt;
    }
    return c;
}

void AppendInteger(std::string& out, const Conversion& c, int value)
{
    const bool isSigned = c.letter != 'u';
    const bool negative = isSigned && value < 0;
    // Widened first so that the lowest int has a magnitude; %u shows the bits as unsigned, as printf does.
    const std::uint64_t magnitude = isSigned ? (negative ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(value))
                                                         : static_cast<std::uint64_t>(value))
                                             : static_cast<std::uint64_t>(static_cast<unsigned int>(value));
    std::string digits;
    if (!(c.hasPrecision && c.precision == 0 && magnitude == 0)) {
        digits = std::to_string(magnitude);
    }
    if (c.hasPrecision && digits.size() < c.precision) {
        digits.insert(0, c.precision - digits.size(), '0');
    }
    std::string sign;
    if (negative) {
        sign = "-";
    } else if (isSigned && c.plusSign) {
        sign = "+";
    } else if (isSigned && c.spaceSign) {
        sign = " ";
    }
    const std::size_t length = sign.size() + digits.size();
    const std::size_t padding = c.width > length ? c.width - length : 0;
    if (c.leftAlign) {
        out += sign;
        out += digits;
        out.append(padding, ' ');
    } else if (c.zeroPad && !c.hasPrecision) {
        out += sign;
        out.append(padding, '0');
        out += digits;
    } else {
        out.append(padding, ' ');
        out += sign;
        out += digits;
    }
}

// Walks the whole format. With `out`, each conversion takes the next argument; without it only the
// conversion letters are collected.
bool Walk(std::string_view format, std::span<const int> args, std::string* out, std::string* letters)
{
    std::size_t next = 0;
    std::size_t pos = 0;
    while (pos < format.size()) {
        const std::size_t percent = format.find('%', pos);
        const std::size_t literalEnd = percent == std::string_view::npos ? format.size() : percent;
        if (out != nullptr) {
            out->append(format.substr(pos, literalEnd - pos));
        }
        if (percent == std::string_view::npos) {
            break;
        }
        pos = percent + 1;
        if (pos < format.size() && format[pos] == '%') {
            if (out != nullptr) {
                *out += '%';
            }
            ++pos;
            continue;
        }
        const auto conversion = ReadConversion(format, pos);
        if (!conversion) {
            return false;
        }
        if (letters != nullptr) {
            *letters += conversion->letter;
        }
        if (out != nullptr) {
            if (next >= args.size()) {
                return false;
            }
            AppendInteger(*out, *conversion, args[next]);
        }
        ++next;
    }
    return true;
}

}  // namespace

std::optional<std::string> FormatConversions(std::string_view format)
{
    std::string letters;
    if (!Walk(format, {}, nullptr, &letters)) {
        return std::nullopt;
    }
    return letters;
}

std::optional<std::string> FormatInts(std::string_view format, std::span<const int> args)
{
    std::string out;
    out.reserve(format.size());
    if (!Walk(format, args, &out, nullptr)) {
        return std::nullopt;
    }
    return out;
}

std::string FormatIntsOrVerbatim(std::string_view format, std::span<const int> args)
{
    auto formatted = FormatInts(format, args);
    return formatted ? std::move(*formatted) : std::string(format);
}

}  // namespace tarrowind
