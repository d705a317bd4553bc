#include "localisation/ini_reader.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/ascii_case.h"
#include "platform/code_page.h"
#include "platform/file_path.h"
#include "platform/utf16.h"

namespace tarrowind {
namespace {

std::string_view Trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::string FromUtf16Le(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    const auto unit = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const char16_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? char32_t{0xFFFD} : char32_t{u});
    }
    return out;
}

}  // namespace

std::string DecodeTextFile(std::string_view bytes)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        return FromUtf16Le(bytes.substr(2));
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    return SanitizeUtf8(bytes);
}

std::string CutToUtf16Units(std::string_view text, std::size_t maxUnits)
{
    std::size_t units = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::size_t needed = length == 4 ? 2 : 1;
        if (units + needed > maxUnits) {
            break;
        }
        units += needed;
        pos += length;
    }
    return std::string(text.substr(0, std::min(pos, text.size())));
}

bool IniReader::NoCaseLess::operator()(std::string_view a, std::string_view b) const
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(LowerAscii(a[i]));
        const auto y = static_cast<unsigned char>(LowerAscii(b[i]));
        if (x != y) {
            return x < y;
        }
    }
    return a.size() < b.size();
}

IniReader IniReader::FromFile(const std::string& path)
{
    std::ifstream file(PathFromUtf8(path), std::ios::binary);
    if (!file) {
        return {};
    }
    file.seekg(0, std::ios::end);
    const auto size = file.tellg();
    if (size < 0 || static_cast<std::size_t>(size) > kMaxFileBytes) {
        return {};
    }
    file.seekg(0);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    file.read(bytes.data(), size);
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return FromBytes(bytes);
}

IniReader IniReader::FromBytes(std::string_view bytes)
{
    IniReader reader;
    if (bytes.size() > kMaxFileBytes) {
        return reader;
    }
    const std::string text = DecodeTextFile(bytes);
    Section* section = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view line = Trim(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            const auto close = line.find(']');
            const std::string_view name = Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
            // A repeated section adds nothing: the first occurrence wins.
            const bool added = reader.m_sections.find(name) == reader.m_sections.end();
            section = added ? &reader.m_sections.emplace(std::string(name), Section{}).first->second : nullptr;
            continue;
        }
        const auto equals = line.find('=');
        if (section == nullptr || equals == std::string_view::npos) {
            continue;
        }
        std::string_view value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        if (const std::string_view key = Trim(line.substr(0, equals)); section->find(key) == section->end()) {
            section->emplace(std::string(key), std::string(value));
        }
    }
    return reader;
}

bool IniReader::HasSection(std::string_view section) const
{
    return m_sections.count(section) != 0;
}

std::optional<std::string> IniReader::Find(std::string_view section, std::string_view key) const
{
    const auto s = m_sections.find(section);
    if (s == m_sections.end()) {
        return std::nullopt;
    }
    const auto k = s->second.find(key);
    if (k == s->second.end()) {
        return std::nullopt;
    }
    return k->second;
}

std::string IniReader::GetString(std::string_view section, std::string_view key, std::string_view fallback,
                                 std::size_t maxUnits) const
{
    const auto value = Find(section, key);
    return CutToUtf16Units(value ? *value : std::string(fallback), maxUnits);
}

}  // namespace tarrowind
