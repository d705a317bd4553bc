#include "localisation/safe_format.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tarrowind {
namespace {

std::optional<std::string> Format(std::string_view format, std::vector<int> args = {})
{
    return FormatInts(format, args);
}

TEST(SafeFormatTest, TextWithoutConversionsIsCopied)
{
    EXPECT_EQ(Format("Ready"), "Ready");
    EXPECT_EQ(Format(""), "");
    EXPECT_EQ(Format("Ready", {1, 2}), "Ready");
    EXPECT_EQ(Format("\xE5\xB0\xB1\xE7\xB7\x92"), "\xE5\xB0\xB1\xE7\xB7\x92");
}

TEST(SafeFormatTest, DoublePercentGivesOnePercent)
{
    EXPECT_EQ(Format("100%%"), "100%");
    EXPECT_EQ(Format("%%d"), "%d");
    EXPECT_EQ(Format("%%%%"), "%%");
    EXPECT_EQ(Format("%d%%", {50}), "50%");
}

TEST(SafeFormatTest, ConversionsTakeTheArgumentsInOrder)
{
    EXPECT_EQ(Format("Searching... %d s", {5}), "Searching... 5 s");
    EXPECT_EQ(Format("between %d and %d.", {1025, 65535}), "between 1025 and 65535.");
    EXPECT_EQ(Format("%i|%u", {-7, 7}), "-7|7");
    EXPECT_EQ(Format("%d", {INT_MIN}), std::to_string(INT_MIN));
    EXPECT_EQ(Format("%d", {INT_MAX}), std::to_string(INT_MAX));
    EXPECT_EQ(Format("%u", {-1}), std::to_string(UINT_MAX));
    // Surplus arguments are ignored, as printf ignores them.
    EXPECT_EQ(Format("%d", {1, 2, 3}), "1");
}

// Every accepted combination of flags, width and precision must print exactly as the C library prints it.
TEST(SafeFormatTest, FlagsWidthAndPrecisionMatchTheCLibrary)
{
    const std::array<const char*, 9> flags{"", "-", "+", " ", "0", "-0", "+0", " 0", "+ -"};
    const std::array<const char*, 4> widths{"", "1", "6", "12"};
    const std::array<const char*, 5> precisions{"", ".", ".0", ".3", ".8"};
    const std::array<int, 8> values{0, 1, -1, 42, -42, 123456, INT_MAX, INT_MIN};
    for (const char* letter : {"d", "i", "u"}) {
        for (const char* flag : flags) {
            for (const char* width : widths) {
                for (const char* precision : precisions) {
                    const std::string format = std::string("[%") + flag + width + precision + letter + "]";
                    // The sign flags do nothing to an unsigned conversion; mingw-w64's C library still
                    // prints them, so the reference leaves them out there.
                    std::string referenceFlag = flag;
                    if (std::string_view(letter) == "u") {
                        std::erase_if(referenceFlag, [](char c) { return c == ' ' || c == '+'; });
                    }
                    const std::string reference = std::string("[%") + referenceFlag + width + precision + letter + "]";
                    for (const int value : values) {
                        std::array<char, 64> expected{};
                        // The formats here are built by the test itself from known-good pieces.
                        std::snprintf(expected.data(), expected.size(), reference.c_str(), value);
                        EXPECT_EQ(Format(format, {value}), std::string(expected.data())) << format << " " << value;
                    }
                }
            }
        }
    }
}

TEST(SafeFormatTest, HostileConversionsAreRefused)
{
    for (const char* format : {"%s", "%n", "%p", "%c", "%x", "%X", "%o", "%f", "%e", "%g", "%a", "%ls", "%S",
                               "%C", "%*d", "%.*d", "%-*d", "%1$d", "%ld", "%lld", "%hd", "%hhd", "%zd", "%jd",
                               "%td", "%Ld", "%qd", "%#d", "%'d", "%Id", "%I64d", "%", "abc %", "%5", "%.", "%-",
                               "%\n", "%\xC3\xA9", "%lu", "%%%"}) {
        EXPECT_EQ(FormatInts(format, std::vector<int>{1, 2, 3}), std::nullopt) << format;
        EXPECT_EQ(FormatConversions(format), std::nullopt) << format;
        EXPECT_EQ(FormatIntsOrVerbatim(format, std::vector<int>{1, 2, 3}), format);
    }
}

TEST(SafeFormatTest, MoreConversionsThanArgumentsAreRefused)
{
    EXPECT_EQ(Format("%d"), std::nullopt);
    EXPECT_EQ(Format("%d and %d", {1}), std::nullopt);
    EXPECT_EQ(Format("%d%d%d", {1, 2}), std::nullopt);
    EXPECT_EQ(FormatIntsOrVerbatim("%d of %d", std::vector<int>{3}), "%d of %d");
    // A refused text is shown as written, "%%" included.
    EXPECT_EQ(FormatIntsOrVerbatim("100%% %d", std::vector<int>{}), "100%% %d");
}

TEST(SafeFormatTest, OversizedFieldsAreRefused)
{
    EXPECT_EQ(Format("%1023d", {1})->size(), 1023u);
    EXPECT_EQ(Format("%.1023d", {1})->size(), 1023u);
    EXPECT_EQ(Format("%1024d", {1}), std::nullopt);
    EXPECT_EQ(Format("%.1024d", {1}), std::nullopt);
    EXPECT_EQ(Format("%99999999999999999999d", {1}), std::nullopt);
    // Leading zeros of a precision do not add to its value.
    EXPECT_EQ(Format("%.0000000000000000000003d", {1}), "001");
}

TEST(SafeFormatTest, ConversionsAreListedInOrder)
{
    EXPECT_EQ(FormatConversions("Ready"), "");
    EXPECT_EQ(FormatConversions("100%%"), "");
    EXPECT_EQ(FormatConversions("%d s"), "d");
    EXPECT_EQ(FormatConversions("%-3u .. %+i %05d"), "uid");
}

}  // namespace
}  // namespace tarrowind
