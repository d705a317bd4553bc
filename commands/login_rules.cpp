#include "commands/login_rules.h"

#include <algorithm>

namespace tarrowind {

bool IsSafeLoginText(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E && c != '&' && c != '%'; });
}

NewLoginProblem CheckNewLogin(std::string_view loginId, std::string_view password,
                              const std::vector<std::string_view>& currentPasswords)
{
    if (loginId.empty()) {
        return NewLoginProblem::NoLoginId;
    }
    if (!IsSafeLoginText(loginId) || !IsSafeLoginText(password)) {
        return NewLoginProblem::UnsafeCharacter;
    }
    // Printable ASCII only from here: bytes are characters.
    if (password.size() < kMinPasswordLength) {
        return NewLoginProblem::TooShort;
    }
    if (password == loginId) {
        return NewLoginProblem::SameAsLoginId;
    }
    if (std::find(currentPasswords.begin(), currentPasswords.end(), password) != currentPasswords.end()) {
        return NewLoginProblem::SameAsCurrent;
    }
    return NewLoginProblem::None;
}

const char* NewLoginProblemKey(NewLoginProblem problem)
{
    switch (problem) {
    case NewLoginProblem::NoLoginId: return "ORB_IDS_LOGIN_ID_IS_EMPTY";
    case NewLoginProblem::UnsafeCharacter: return "ORB_IDS_NEW_LOGIN_CHARACTERS";
    case NewLoginProblem::TooShort: return "ORB_IDS_NEW_PASSWORD_SHORT";
    case NewLoginProblem::SameAsLoginId: return "ORB_IDS_NEW_PASSWORD_IS_LOGIN_ID";
    case NewLoginProblem::SameAsCurrent: return "ORB_IDS_NEW_PASSWORD_IS_CURRENT";
    case NewLoginProblem::None: break;
    }
    return nullptr;
}

const char* DescribeNewLoginProblem(NewLoginProblem problem)
{
    switch (problem) {
    case NewLoginProblem::NoLoginId: return "the new login ID is empty";
    case NewLoginProblem::UnsafeCharacter:
        return "the new login ID and password take printable ASCII characters only, and neither & nor %";
    case NewLoginProblem::TooShort: return "the new password has fewer than 8 characters";
    case NewLoginProblem::SameAsLoginId: return "the new password is the login ID";
    case NewLoginProblem::SameAsCurrent: return "the new password is the current one";
    case NewLoginProblem::None: break;
    }
    return "";
}

}  // namespace tarrowind
