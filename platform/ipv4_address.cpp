#include "platform/ipv4_address.h"

namespace tarrowind {

std::optional<Ipv4Address> Ipv4Address::ReadText(std::string_view& text, LeadingZeros zeros)
{
    std::string_view rest = text;
    std::uint32_t value = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (rest.empty() || rest.front() != '.') {
                return std::nullopt;
            }
            rest.remove_prefix(1);
        }
        const auto isDigit = [&](std::size_t at) { return at < rest.size() && rest[at] >= '0' && rest[at] <= '9'; };
        std::uint32_t number = 0;
        std::size_t digits = 0;
        for (; digits < 3 && isDigit(digits); ++digits) {
            number = number * 10 + static_cast<std::uint32_t>(rest[digits] - '0');
        }
        if (digits == 0 || isDigit(digits) || number > 255 ||
            (zeros == LeadingZeros::Refused && digits > 1 && rest.front() == '0')) {
            return std::nullopt;
        }
        rest.remove_prefix(digits);
        value = value << 8 | number;
    }
    text = rest;
    return FromHostOrder(value);
}

std::optional<Ipv4Address> Ipv4Address::FromText(std::string_view text, LeadingZeros zeros)
{
    const auto address = ReadText(text, zeros);
    return text.empty() ? address : std::nullopt;
}

std::string Ipv4Address::ToText() const
{
    std::string text;
    for (const std::uint8_t octet : Octets()) {
        if (!text.empty()) {
            text += '.';
        }
        text += std::to_string(octet);
    }
    return text;
}

}  // namespace tarrowind
