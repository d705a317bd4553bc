#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarrowind {

// What a new login for modules must not be. The module's configuration form carries the login unescaped
// and decodes percent escapes, and its login page reads an 8-bit code page: an "&" would cut the
// password short, "%41" would become "A", and a letter outside printable ASCII may be replaced, each
// leaving the module with a password nobody typed.
enum class NewLoginProblem {
    None,
    NoLoginId,           // the login ID is empty
    UnsafeCharacter,     // a character outside printable ASCII, or "&" or "%"
    TooShort,            // fewer than kMinPasswordLength characters
    SameAsLoginId,       // the password is the login ID
    SameAsCurrent,       // the password is one the modules already have
};

inline constexpr std::size_t kMinPasswordLength = 8;

// The first rule the new login breaks; `currentPasswords` are those of the modules it is for.
NewLoginProblem CheckNewLogin(std::string_view loginId, std::string_view password,
                              const std::vector<std::string_view>& currentPasswords);

// The string-table key that tells the user; null for None.
const char* NewLoginProblemKey(NewLoginProblem problem);
// The same in English, for the command line.
const char* DescribeNewLoginProblem(NewLoginProblem problem);

}  // namespace tarrowind
