#include "operations/page_variables.h"

#include <limits>

namespace tarrowind {

bool ReadDecimal(std::string_view text, std::int32_t& value)
{
    std::size_t p = 0;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t' || text[p] == '\n' || text[p] == '\r' ||
                               text[p] == '\v' || text[p] == '\f')) {
        ++p;
    }
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        negative = text[p] == '-';
        ++p;
    }
    const std::size_t first = p;
    std::int64_t magnitude = 0;
    constexpr std::int64_t kLimit = static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
        magnitude = std::min<std::int64_t>(magnitude * 10 + (text[p] - '0'), kLimit);
        ++p;
    }
    if (p == first) {
        return false;
    }
    const std::int64_t signedValue = negative ? -magnitude : std::min<std::int64_t>(magnitude, kLimit - 1);
    value = static_cast<std::int32_t>(signedValue);
    return true;
}

std::optional<std::string> FindTextVariable(std::string_view page, std::string_view key)
{
    const std::size_t at = page.find(key);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t open = at + key.size();
    if (open >= page.size() || page[open] != '\'') {
        return std::nullopt;
    }
    const std::size_t close = page.find("';", open + 1);
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(page.substr(open + 1, close - open - 1));
}

std::optional<std::int32_t> FindNumberVariable(std::string_view page, std::string_view key)
{
    const std::size_t at = page.find(key);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t start = at + key.size();
    const std::size_t end = page.find(';', start);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    std::int32_t value = 0;
    if (!ReadDecimal(page.substr(start, end - start), value)) {
        return std::nullopt;
    }
    return value;
}

std::string TextVariable(std::string_view page, std::string_view key)
{
    return FindTextVariable(page, key).value_or(std::string());
}

std::int32_t NumberVariable(std::string_view page, std::string_view key)
{
    return FindNumberVariable(page, key).value_or(0);
}

}  // namespace tarrowind
