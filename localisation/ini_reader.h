#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tarrowind {

// Reads ini files the way the desktop's private-profile functions do: sections and keys match without
// regard to letter case, blanks around names and values are dropped, a value in matching quotes loses
// them, the first occurrence of a section or key wins, and lines starting with ";" are comments.
// Files are UTF-8 (with or without a byte-order mark) or UTF-16LE with its mark; texts come out UTF-8.
class IniReader {
public:
    // Files larger than this are not read; no real ini file comes near it.
    static constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;

    // An empty reader when the file cannot be read.
    static IniReader FromFile(const std::string& path);
    static IniReader FromBytes(std::string_view bytes);

    bool HasSection(std::string_view section) const;
    // The value, cut to at most `maxUnits` UTF-16 code units (never inside a character), or the
    // default when the section or key is missing.
    std::string GetString(std::string_view section, std::string_view key, std::string_view fallback = {},
                          std::size_t maxUnits = 4095) const;
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

private:
    // Names compare with ASCII letters folded, so that lookups need no folded copy.
    struct NoCaseLess {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    using Section = std::map<std::string, std::string, NoCaseLess>;
    std::map<std::string, Section, NoCaseLess> m_sections;
};

// The bytes of a text file as UTF-8: a UTF-16LE file (with its mark) is converted, a UTF-8 mark dropped,
// and invalid sequences replaced.
std::string DecodeTextFile(std::string_view bytes);
// The longest start of `text` that has at most `maxUnits` UTF-16 code units.
std::string CutToUtf16Units(std::string_view text, std::size_t maxUnits);

}  // namespace tarrowind
