#include <gtest/gtest.h>

#include "localisation/ini_reader.h"

namespace tarrowind {
namespace {

// UTF-16LE bytes with the byte-order mark, from UTF-16 code units.
std::string Utf16File(std::u16string_view text)
{
    std::string bytes = "\xFF\xFE";
    for (const char16_t u : text) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

TEST(IniReader, ReadsUtf8WithOrWithoutMarkAndUtf16WithMark)
{
    const std::string plain = "[Model]\r\nVersion=1.2.3\r\nName=Caf\xC3\xA9\r\n";
    for (const std::string& bytes : {plain, "\xEF\xBB\xBF" + plain}) {
        const IniReader ini = IniReader::FromBytes(bytes);
        EXPECT_TRUE(ini.HasSection("Model"));
        EXPECT_EQ(ini.GetString("Model", "Version"), "1.2.3");
        EXPECT_EQ(ini.GetString("Model", "Name"), "Caf\xC3\xA9");
    }
    const IniReader wide = IniReader::FromBytes(Utf16File(u"[Model]\r\nName=Caf\u00E9 \U0001F600\r\nLone=a\xD800z\r\n"));
    EXPECT_EQ(wide.GetString("model", "name"), "Caf\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_EQ(wide.GetString("model", "lone"), "a\xEF\xBF\xBDz");  // an unpaired half is replaced
    // Without a mark, UTF-16 is not guessed at; invalid UTF-8 is replaced, never passed on.
    EXPECT_EQ(IniReader::FromBytes("[S]\nk=a\x80\xC3z\n").GetString("S", "k"), "a\xEF\xBF\xBD\xEF\xBF\xBDz");
    EXPECT_FALSE(IniReader::FromBytes(Utf16File(u"[S]").substr(2)).HasSection("S"));
}

TEST(IniReader, FollowsThePrivateProfileRules)
{
    const IniReader ini = IniReader::FromBytes(
        "orphan=1\n"
        "; [Hidden]\n"
        "  [ First Section ]  \n"
        "  Key  =  spaced value  \n"
        "Quoted=\"  kept  \"\n"
        "Single='x'\n"
        "Odd=\"x'\n"
        ";Key=comment\n"
        "KEY=second\n"
        "Empty=\n"
        "Eq=a=b\n"
        "no equals sign\n"
        "[first section]\n"
        "Later=1\n"
        "[Other]\n"
        "Key=other\n");
    EXPECT_EQ(ini.GetString("FIRST SECTION", "key"), "spaced value");
    EXPECT_EQ(ini.GetString("First Section", "Quoted"), "  kept  ");
    EXPECT_EQ(ini.GetString("First Section", "Single"), "x");
    EXPECT_EQ(ini.GetString("First Section", "Odd"), "\"x'");
    EXPECT_EQ(ini.GetString("First Section", "Eq"), "a=b");
    EXPECT_EQ(ini.Find("First Section", "Empty"), std::optional<std::string>(""));
    EXPECT_EQ(ini.Find("First Section", "Later"), std::nullopt);  // a repeated section adds nothing
    EXPECT_EQ(ini.GetString("Other", "Key"), "other");
    EXPECT_FALSE(ini.HasSection("Hidden"));
    EXPECT_EQ(ini.Find("", "orphan"), std::nullopt);
    EXPECT_EQ(ini.GetString("Other", "Missing", "fallback"), "fallback");
    EXPECT_EQ(ini.GetString("Missing", "Key", "fallback"), "fallback");
    EXPECT_EQ(IniReader::FromFile("/nonexistent/tarrowind.ini").GetString("S", "k", "d"), "d");
}

TEST(IniReader, CutsToUtf16UnitsWithoutSplittingACharacter)
{
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // 1 + 1 + 1 + 2 units
    EXPECT_EQ(CutToUtf16Units(text, 5), text);
    EXPECT_EQ(CutToUtf16Units(text, 4), "a\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(CutToUtf16Units(text, 2), "a\xC3\xA9");
    EXPECT_EQ(CutToUtf16Units(text, 0), "");
    const std::string a1022(1022, 'a');
    EXPECT_EQ(CutToUtf16Units(a1022 + "\xF0\x9F\x98\x80", 1023), a1022);
    EXPECT_EQ(CutToUtf16Units(a1022 + "\xE2\x82\xAC" + "b", 1023), a1022 + "\xE2\x82\xAC");
    const IniReader ini = IniReader::FromBytes("[S]\nk=" + std::string(5000, 'v') + "\n");
    EXPECT_EQ(ini.GetString("S", "k").size(), 4095u);
    EXPECT_EQ(ini.GetString("S", "k", {}, 1023).size(), 1023u);
    EXPECT_EQ(ini.GetString("S", "none", "fallback", 4), "fall");
}

}  // namespace
}  // namespace tarrowind
