#include <gtest/gtest.h>

#include "commands/login_rules.h"

namespace tarrowind {
namespace {

TEST(LoginRules, RefuseWhatTheModulesWouldNotTakeAsTyped)
{
    struct Case {
        const char *loginId, *password;
        NewLoginProblem expected;
    };
    const Case cases[] = {
        {"boss", "n3w-pass", NewLoginProblem::None},
        {"boss", "n3w-pas", NewLoginProblem::TooShort},
        {"", "n3w-pass-1", NewLoginProblem::NoLoginId},
        {"longlogin", "longlogin", NewLoginProblem::SameAsLoginId},
        {"boss", "current-1", NewLoginProblem::SameAsCurrent},
        {"boss", "other-pw-2", NewLoginProblem::SameAsCurrent},
        {"boss", "pass&word1", NewLoginProblem::UnsafeCharacter},  // would end the form field
        {"boss", "pass%41word", NewLoginProblem::UnsafeCharacter},  // the module would read an A
        {"bo&ss", "n3w-pass-1", NewLoginProblem::UnsafeCharacter},
        {"boss", "pässwörd", NewLoginProblem::UnsafeCharacter},
        {"boss", "pass\tword", NewLoginProblem::UnsafeCharacter},
        {"boss", "a b c d e", NewLoginProblem::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckNewLogin(c.loginId, c.password, {"current-1", "other-pw-2"}), c.expected)
            << c.loginId << " / " << c.password;
    }
    EXPECT_EQ(NewLoginProblemKey(NewLoginProblem::None), nullptr);
    EXPECT_STREQ(DescribeNewLoginProblem(NewLoginProblem::TooShort), "the new password has fewer than 8 characters");
}

}  // namespace
}  // namespace tarrowind
