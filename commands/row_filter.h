#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tarrowind {

// The text in simple case folding for the scripts with case that module names and the program's texts
// use (Latin, Greek, Cyrillic, full-width Latin); other characters and bytes that are no UTF-8 stay as
// they are.
std::string FoldCase(std::string_view utf8);

// What the user typed into a list filter: a row is kept when one of its texts contains it, case folded.
class RowFilter {
public:
    RowFilter() = default;
    // Surrounding white space is dropped, and control characters, which no shown text holds.
    explicit RowFilter(std::string_view typed);

    bool IsEmpty() const { return m_needle.empty(); }
    const std::string& Needle() const { return m_needle; }
    // `folded` is a folded text or several joined by Haystack.
    bool Matches(std::string_view folded) const;
    // The row's texts folded and joined by a character the filter never holds, so that a match never
    // spans two texts.
    static std::string Haystack(std::initializer_list<std::string_view> texts);

private:
    std::string m_needle;
};

}  // namespace tarrowind
