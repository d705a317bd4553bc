#include "platform/code_page.h"

#include <gtest/gtest.h>

namespace tarrowind {
namespace {

// The unit tests run under LC_ALL=C, where the 8-bit code page is Windows-1252.
TEST(CodePage, CLocaleReadsWindows1252)
{
    EXPECT_EQ(AnsiCharset(), "WINDOWS-1252");
    EXPECT_EQ(AnsiToUtf8("Caf\xE9 \x80"), "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(Utf8ToAnsi("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xE9 \x80");
    // Bytes the code page does not define, and characters it cannot hold, are marked, never dropped.
    EXPECT_EQ(AnsiToUtf8("a\x81z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(Utf8ToAnsi("x\xE6\x97\xA5y"), "x?y");
    EXPECT_EQ(Utf8ToAnsi("bad\xFFtail"), "bad?tail");
    EXPECT_EQ(AnsiToUtf8(std::string(3000, 'a')).size(), 3000u);
}

TEST(CodePage, SanitizeReplacesEveryInvalidSequence)
{
    EXPECT_EQ(SanitizeUtf8("ok \xE2\x82\xAC \xF0\x9F\x98\x80"), "ok \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(SanitizeUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");          // overlong
    EXPECT_EQ(SanitizeUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
    EXPECT_EQ(SanitizeUtf8("\xE2\x82"), "\xEF\xBF\xBD\xEF\xBF\xBD");          // cut short
    EXPECT_EQ(SanitizeUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(CodePage, SanitizeFindsABadByteAtAnyPlaceInALongText)
{
    // Long ASCII stretches are skipped in steps of eight bytes: a bad byte or a character at any offset
    // must still be seen.
    for (std::size_t at = 0; at < 24; ++at) {
        std::string bad(24, 'x');
        bad[at] = '\xFF';
        std::string expected = bad.substr(0, at) + "\xEF\xBF\xBD" + bad.substr(at + 1);
        EXPECT_EQ(SanitizeUtf8(bad), expected) << at;

        std::string good = std::string(at, 'x') + "\xE2\x82\xAC" + std::string(20, 'y');
        EXPECT_EQ(SanitizeUtf8(good), good) << at;
        // A character cut short by the end of the text.
        EXPECT_EQ(SanitizeUtf8(std::string(at, 'x') + "\xE2\x82"), std::string(at, 'x') + "\xEF\xBF\xBD\xEF\xBF\xBD");
    }
}

}  // namespace
}  // namespace tarrowind
