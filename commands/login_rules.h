#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarrowind {

// What a new login for modules must not be. The configuration form leaves "%" as it is and the module
// decodes percent escapes, so "%41" would become "A"; a reader's login page takes the login ID in its
// query unescaped, so an "&" would cut it short; and a letter outside printable ASCII may be replaced
// by the 8-bit code page. Each would leave the module with a login nobody typed.
enum class NewLoginProblem {
    None,
    NoLoginId,           // the login ID is empty
    UnsafeCharacter,     // a character outside printable ASCII, or "&" or "%"
    TooShort,            // fewer than kMinPasswordLength characters
    SameAsLoginId,       // the password is the login ID
    SameAsCurrent,       // the password is one the modules already have
};

inline constexpr std::size_t kMinPasswordLength = 8;

// Whether a login ID or password keeps to the characters a module takes as they were typed.
bool IsSafeLoginText(std::string_view text);

// The first rule the new login breaks; `currentPasswords` are those of the modules it is for.
NewLoginProblem CheckNewLogin(std::string_view loginId, std::string_view password,
                              const std::vector<std::string_view>& currentPasswords);

// The string-table key that tells the user; null for None.
const char* NewLoginProblemKey(NewLoginProblem problem);
// The same in English, for the command line.
const char* DescribeNewLoginProblem(NewLoginProblem problem);

}  // namespace tarrowind
