#include "basic_auth.h"

#include <cstdint>

#include "platform/ascii_case.h"

namespace tarrowind::sim {

namespace {

constexpr std::size_t kMaxHeader = 4096;

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

} // namespace

std::optional<std::string> decodeBase64(std::string_view text)
{
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t at = 0; at < text.size(); at += 4) {
        const bool last = at + 4 == text.size();
        int values[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[at + static_cast<std::size_t>(k)];
            if (c == '=' && last && k >= 2) {
                values[k] = 0;
                ++padding;
                continue;
            }
            // Padding only at the very end, and nothing after it.
            if (padding > 0) return std::nullopt;
            values[k] = base64Value(c);
            if (values[k] < 0) return std::nullopt;
        }
        const std::uint32_t bits = (static_cast<std::uint32_t>(values[0]) << 18) |
                                   (static_cast<std::uint32_t>(values[1]) << 12) |
                                   (static_cast<std::uint32_t>(values[2]) << 6) | static_cast<std::uint32_t>(values[3]);
        out.push_back(static_cast<char>((bits >> 16) & 0xFF));
        if (padding < 2) out.push_back(static_cast<char>((bits >> 8) & 0xFF));
        if (padding < 1) out.push_back(static_cast<char>(bits & 0xFF));
    }
    return out;
}

std::optional<BasicCredentials> parseBasicAuthorization(std::string_view header)
{
    if (header.size() > kMaxHeader) return std::nullopt;
    constexpr std::string_view kScheme = "basic";
    if (header.size() <= kScheme.size() || header[kScheme.size()] != ' ') return std::nullopt;
    for (std::size_t i = 0; i < kScheme.size(); ++i)
        if (LowerAscii(header[i]) != kScheme[i]) return std::nullopt;
    std::string_view encoded = header.substr(kScheme.size());
    while (!encoded.empty() && encoded.front() == ' ') encoded.remove_prefix(1);
    while (!encoded.empty() && encoded.back() == ' ') encoded.remove_suffix(1);
    const auto decoded = decodeBase64(encoded);
    if (!decoded) return std::nullopt;
    const std::size_t colon = decoded->find(':');
    if (colon == std::string::npos) return std::nullopt;
    return BasicCredentials{decoded->substr(0, colon), decoded->substr(colon + 1)};
}

} // namespace tarrowind::sim
