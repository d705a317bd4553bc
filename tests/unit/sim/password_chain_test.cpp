#include "password_chain.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace tarrowind::sim;

namespace {

// The chain as the login page's sender builds it, from the low bytes of UTF-16 code units.
std::string encode(std::uint8_t first, const std::vector<std::uint8_t>& units)
{
    char group[4];
    std::snprintf(group, sizeof group, "-%.2x", first);
    std::string out = group;
    std::uint8_t previous = first;
    for (auto unit : units) {
        previous = static_cast<std::uint8_t>(previous ^ unit);
        std::snprintf(group, sizeof group, "-%.2x", previous);
        out += group;
    }
    return out;
}

std::vector<std::uint8_t> bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

} // namespace

TEST(PasswordChain, EachCharacterIsTheXorOfNeighbouringBytes)
{
    // 0x3a, 0x3a^'a'=0x5b, 0x5b^'b'=0x39
    const auto decoded = decodePasswordChain("-3a-5b-39");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, bytes("ab"));
    for (int first : {0x00, 0x7f, 0x80, 0xff})
        EXPECT_EQ(decodePasswordChain(encode(static_cast<std::uint8_t>(first), bytes("s3cret!"))), bytes("s3cret!"));
}

TEST(PasswordChain, EmptyTextAndLoneFirstByteAreTheEmptyPassword)
{
    EXPECT_EQ(decodePasswordChain(""), std::vector<std::uint8_t>{});
    EXPECT_EQ(decodePasswordChain("-c4"), std::vector<std::uint8_t>{});
}

TEST(PasswordChain, RefusesOtherShapes)
{
    EXPECT_FALSE(decodePasswordChain("-3A-5b"));    // upper-case digits are not what is sent
    EXPECT_FALSE(decodePasswordChain("3a-5b-39"));
    EXPECT_FALSE(decodePasswordChain("-3a-5b-3"));
    EXPECT_FALSE(decodePasswordChain("-3a+5b"));
    EXPECT_FALSE(decodePasswordChain("-3g"));
    EXPECT_FALSE(decodePasswordChain("-"));
    EXPECT_FALSE(decodePasswordChain(std::string("-3a\0-5b", 6)));
    std::string longest;
    for (std::size_t i = 0; i <= kMaxChainCharacters; ++i) longest += "-00";
    EXPECT_TRUE(decodePasswordChain(longest));
    EXPECT_FALSE(decodePasswordChain(longest + "-00"));
}

TEST(Utf16LowBytes, TakesTheLowByteOfEachCodeUnit)
{
    EXPECT_EQ(utf16LowBytes("abc"), bytes("abc"));
    EXPECT_EQ(utf16LowBytes("\xC3\xA9"), std::vector<std::uint8_t>{0xE9});        // U+00E9
    EXPECT_EQ(utf16LowBytes("\xE2\x82\xAC"), std::vector<std::uint8_t>{0xAC});    // U+20AC
    EXPECT_EQ(utf16LowBytes("\xF0\x9F\x98\x80"), (std::vector<std::uint8_t>{0x3D, 0x00})); // D83D DE00
    EXPECT_FALSE(utf16LowBytes("\xC3"));
    EXPECT_FALSE(utf16LowBytes("\xC0\x80"));      // overlong
    EXPECT_FALSE(utf16LowBytes("\xED\xA0\x80"));  // a surrogate on its own
    EXPECT_FALSE(utf16LowBytes("\xF4\x90\x80\x80"));
    EXPECT_FALSE(utf16LowBytes("\xFF"));
}

TEST(PasswordChain, MatchesOnlyTheExactPassword)
{
    EXPECT_TRUE(chainMatchesPassword(encode(0x42, bytes("admin")), "admin"));
    EXPECT_FALSE(chainMatchesPassword(encode(0x42, bytes("admin")), "Admin"));
    EXPECT_FALSE(chainMatchesPassword(encode(0x42, bytes("admi")), "admin"));
    EXPECT_FALSE(chainMatchesPassword(encode(0x42, bytes("admin!")), "admin"));
    EXPECT_TRUE(chainMatchesPassword("", ""));
    EXPECT_FALSE(chainMatchesPassword("", "admin"));
    EXPECT_TRUE(chainMatchesPassword(encode(0x10, {0xE9}), "\xC3\xA9"));
    EXPECT_FALSE(chainMatchesPassword("-3A-5B-39", "ab"));
}
