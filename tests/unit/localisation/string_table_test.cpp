#include "localisation/string_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "localisation/text_escapes.h"
#include "platform/process_environment.h"
#include "platform/utf16.h"
#include "tests/unit/fakes/test_environment.h"

namespace tarrowind {
namespace {

namespace fs = std::filesystem;

// A scratch folder with a string table and a brand file written by each test.
class StringTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = testing::MakeTempFolder("string_table_test.");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Write(const std::string& name, const std::string& content) const
    {
        const std::string path = (m_dir / name).string();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
        return path;
    }
    std::string TablePath() const { return (m_dir / StringTable::kFileName).string(); }
    std::string BrandPath() const { return (m_dir / "OrbBrand.ini").string(); }

    void WriteTable(const std::string& content) const { Write(StringTable::kFileName, content); }
    void WriteBrand(const std::string& content) const { Write("OrbBrand.ini", content); }

    StringTable Make(std::uint16_t languageId) const
    {
        return StringTable(StringTable::Options{TablePath(), BrandPath(), languageId});
    }

    // A table with German and Arabic (right to left), the German entry mapped with a long value.
    static std::string LanguageSection()
    {
        return "[LANGUAGE]\n0x0407=DEU\n0x0401=AR\n0x040c=FR\n0x0409=EN\nAR=1\nFR=0\nEN=1\n";
    }

    fs::path m_dir;
};

// --- Language choice ---

TEST_F(StringTableTest, UnknownIdentifierGivesEnglish)
{
    WriteTable(LanguageSection());
    const auto table = Make(0x0413);
    EXPECT_EQ(table.LanguageCode(), "EN");
    EXPECT_FALSE(table.IsRightToLeft());
    EXPECT_EQ(table.Path(), TablePath());
}

TEST_F(StringTableTest, LanguageValueIsCutToTwoCharacters)
{
    WriteTable(LanguageSection() + "[K]\nDE=Deutsch\nEN=English\n");
    const auto table = Make(0x0407);
    EXPECT_EQ(table.LanguageCode(), "DE");
    EXPECT_EQ(table.Text("K"), "Deutsch");
}

TEST_F(StringTableTest, CodeIsUpperCasedAndMatchedWithoutCase)
{
    WriteTable("[language]\n0X0407=de\n[k]\nde=Deutsch\nEN=English\n");
    const auto table = Make(0x0407);
    EXPECT_EQ(table.LanguageCode(), "DE");
    EXPECT_EQ(table.Text("K"), "Deutsch");
}

TEST_F(StringTableTest, RightToLeftFlagOfTheSystemLanguage)
{
    WriteTable(LanguageSection());
    EXPECT_TRUE(Make(0x0401).IsRightToLeft());
    EXPECT_FALSE(Make(0x040c).IsRightToLeft());
    // A missing flag entry means left to right.
    EXPECT_FALSE(Make(0x0407).IsRightToLeft());
    // English is left to right whatever the table says.
    EXPECT_FALSE(Make(0x0409).IsRightToLeft());
}

TEST_F(StringTableTest, RightToLeftFlagReadsLikeAProfileInteger)
{
    for (const auto& [value, rtl] : std::initializer_list<std::pair<const char*, bool>>{
             {"1", true}, {"2", true}, {"+7", true}, {"12abc", true}, {"0", false}, {"", false}, {"abc", false},
             {"-1", false}, {"0x1", false}, {"99999999999999999999", true}}) {
        WriteTable(std::string("[LANGUAGE]\n0x0401=AR\nAR=") + value + "\n");
        EXPECT_EQ(Make(0x0401).IsRightToLeft(), rtl) << value;
    }
}

TEST_F(StringTableTest, BrandFileOverridesTheCodeInFull)
{
    WriteTable(LanguageSection() + "[K]\nDE=Deutsch\nDEU=Lang\nEN=English\n");
    WriteBrand("[General]\nLang=de\n");
    EXPECT_EQ(Make(0x040c).LanguageCode(), "DE");
    EXPECT_EQ(Make(0x040c).Text("K"), "Deutsch");
    WriteBrand("[general]\nLANG = deu \n");
    EXPECT_EQ(Make(0x040c).LanguageCode(), "DEU");
    EXPECT_EQ(Make(0x040c).Text("K"), "Lang");
}

TEST_F(StringTableTest, BrandFileKeepsTheRightToLeftFlagUnlessEnglish)
{
    WriteTable(LanguageSection());
    WriteBrand("[General]\nLang=en\n");
    const auto english = Make(0x0401);
    EXPECT_EQ(english.LanguageCode(), "EN");
    EXPECT_FALSE(english.IsRightToLeft());

    WriteBrand("[General]\nLang=fr\n");
    const auto french = Make(0x0401);
    EXPECT_EQ(french.LanguageCode(), "FR");
    EXPECT_TRUE(french.IsRightToLeft()) << "the flag is not read again for a brand code";

    // A brand code does not make a left-to-right system language right to left.
    WriteBrand("[General]\nLang=AR\n");
    EXPECT_FALSE(Make(0x040c).IsRightToLeft());
}

TEST_F(StringTableTest, MissingOrIncompleteBrandFileLeavesTheSystemCode)
{
    WriteTable(LanguageSection());
    EXPECT_EQ(Make(0x0401).LanguageCode(), "AR");
    WriteBrand("[General]\nOther=DE\n[Else]\nLang=DE\n");
    EXPECT_EQ(Make(0x0401).LanguageCode(), "AR");
    EXPECT_TRUE(Make(0x0401).IsRightToLeft());
}

TEST_F(StringTableTest, MissingTableGivesEnglishAndEmptyTexts)
{
    const auto table = Make(0x0401);
    EXPECT_EQ(table.LanguageCode(), "EN");
    EXPECT_FALSE(table.IsRightToLeft());
    EXPECT_EQ(table.Text("ORB_IDS_SEARCH"), "");
    EXPECT_EQ(table.Label("ORB_IDS_IP"), "");
    WriteBrand("[General]\nLang=ja\n");
    EXPECT_EQ(Make(0x0401).LanguageCode(), "JA");
}

// --- Lookup and English fall-back ---

TEST_F(StringTableTest, EnglishIsTheFallBack)
{
    WriteTable(LanguageSection() + "[HAS]\nFR=Oui\nEN=Yes\n[EMPTY]\nFR=\nEN=Empty\n[ONLYEN]\nEN=Only\n"
                                   "[NONE]\nDE=Nur Deutsch\n");
    const auto table = Make(0x040c);
    EXPECT_EQ(table.Text("HAS"), "Oui");
    EXPECT_EQ(table.Text("has"), "Oui");
    EXPECT_EQ(table.Text("EMPTY"), "Empty");
    EXPECT_EQ(table.Text("ONLYEN"), "Only");
    EXPECT_EQ(table.Text("NONE"), "");
    EXPECT_EQ(table.Text("MISSING"), "");
}

TEST_F(StringTableTest, EditsShowInLaterLookups)
{
    WriteTable("[K]\nEN=One\n");
    const auto table = Make(0x0409);
    EXPECT_EQ(table.Text("K"), "One");
    WriteTable("[K]\nEN=Second\n");
    EXPECT_EQ(table.Text("K"), "Second");
    fs::remove(TablePath());
    EXPECT_EQ(table.Text("K"), "");
    WriteTable("[K]\nEN=Third one\n");
    EXPECT_EQ(table.Text("K"), "Third one");
}

TEST_F(StringTableTest, Utf16TableIsRead)
{
    const std::u16string text = u"\uFEFF[LANGUAGE]\r\n0x0404=TW\r\n[K]\r\nTW=\u97CC\u9AD4\u66F4\u65B0\r\n";
    std::string bytes;
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    WriteTable(bytes);
    EXPECT_EQ(Make(0x0404).Text("K"), "\xE9\x9F\x8C\xE9\xAB\x94\xE6\x9B\xB4\xE6\x96\xB0");
}

// --- Escapes ---

TEST(TextEscapesTest, FourEscapesBecomeTheirCharacters)
{
    EXPECT_EQ(UnescapeText(R"(a\\b)"), "a\\b");
    EXPECT_EQ(UnescapeText(R"(line\nnext)"), "line\nnext");
    EXPECT_EQ(UnescapeText(R"(\r\n)"), "\r\n");
    EXPECT_EQ(UnescapeText(R"(a\tb)"), "a\tb");
}

TEST(TextEscapesTest, OtherBackslashesStay)
{
    EXPECT_EQ(UnescapeText(R"(\q)"), R"(\q)");
    EXPECT_EQ(UnescapeText(R"(C:\Program Files\x)"), R"(C:\Program Files\x)");
    EXPECT_EQ(UnescapeText("end\\"), "end\\");
    EXPECT_EQ(UnescapeText("\\"), "\\");
    EXPECT_EQ(UnescapeText("\\\xC3\xA9"), "\\\xC3\xA9");
}

TEST(TextEscapesTest, EscapeResultsAreNotEscapedAgain)
{
    EXPECT_EQ(UnescapeText(R"(\\n)"), "\\n");
    EXPECT_EQ(UnescapeText(R"(\\\n)"), "\\\n");
    EXPECT_EQ(UnescapeText(R"(\q\n)"), "\\q\n");
    EXPECT_EQ(UnescapeText(R"(\\\)"), "\\\\");
}

TEST_F(StringTableTest, TextsAreUnescapedBeforeFormatting)
{
    WriteTable("[K]\nEN=One\\nTwo\\t%d\\\\n\n");
    EXPECT_EQ(Make(0x0409).Text("K", 3), "One\nTwo\t3\\n");
}

// --- Label ---

TEST_F(StringTableTest, LabelAddsOneColon)
{
    WriteTable("[IP]\nEN=IP Address\n[COLON]\nEN=Port:\n[EMPTY]\nEN=\n[ARG]\nEN=Code %d\n[WIDE]\nEN=\xEF\xBC\x9A\n");
    const auto table = Make(0x0409);
    EXPECT_EQ(table.Label("IP"), "IP Address:");
    EXPECT_EQ(table.Label("COLON"), "Port:");
    EXPECT_EQ(table.Label("EMPTY"), "");
    EXPECT_EQ(table.Label("MISSING"), "");
    EXPECT_EQ(table.Label("ARG", 2), "Code 2:");
    EXPECT_EQ(table.Text("IP"), "IP Address");
    // Only the ASCII colon counts.
    EXPECT_EQ(table.Label("WIDE"), "\xEF\xBC\x9A:");
}

// --- Formatting ---

TEST_F(StringTableTest, TextsAreFormattedWithTheArguments)
{
    WriteTable("[SEC]\nEN=Searching... %d s\n[RANGE]\nEN=between %d and %d.\n[PCT]\nEN=100%% done\n"
               "[PLAIN]\nEN=Ready\n");
    const auto table = Make(0x0409);
    EXPECT_EQ(table.Text("SEC", 4), "Searching... 4 s");
    EXPECT_EQ(table.Text("RANGE", 1025, 65535), "between 1025 and 65535.");
    EXPECT_EQ(table.Text("RANGE", 1025u, static_cast<short>(-2)), "between 1025 and -2.");
    EXPECT_EQ(table.Text("PCT"), "100% done");
    EXPECT_EQ(table.Text("PCT", 9), "100% done");
    EXPECT_EQ(table.Text("PLAIN", 1, 2), "Ready");
}

TEST_F(StringTableTest, HostileFormatsAreShownUnformatted)
{
    WriteTable("[S]\nEN=Name %s\\t!\n[N]\nEN=%n%n%n\n[P]\nEN=at %p\n[STAR]\nEN=%*d\n[DOTSTAR]\nEN=%.*d\n"
               "[MANY]\nEN=%d %d %d\n[LONG]\nEN=%ld\n[POS]\nEN=%2$d\n[LONE]\nEN=50%\n[MIX]\nEN=100%% %s\n");
    const auto table = Make(0x0409);
    EXPECT_EQ(table.Text("S"), "Name %s\t!");
    EXPECT_EQ(table.Text("S", 1), "Name %s\t!");
    EXPECT_EQ(table.Text("N", 1, 2, 3), "%n%n%n");
    EXPECT_EQ(table.Text("P", 1), "at %p");
    EXPECT_EQ(table.Text("STAR", 5, 6), "%*d");
    EXPECT_EQ(table.Text("DOTSTAR", 5, 6), "%.*d");
    EXPECT_EQ(table.Text("MANY", 1, 2), "%d %d %d");
    EXPECT_EQ(table.Text("LONG", 1), "%ld");
    EXPECT_EQ(table.Text("POS", 1, 2), "%2$d");
    EXPECT_EQ(table.Text("LONE"), "50%");
    EXPECT_EQ(table.Text("MIX"), "100%% %s");
}

TEST_F(StringTableTest, ConversionWithoutArgumentIsShownUnformatted)
{
    WriteTable("[SEC]\nEN=Searching... %d s\n");
    EXPECT_EQ(Make(0x0409).Text("SEC"), "Searching... %d s");
}

// --- Length cut ---

TEST_F(StringTableTest, TextsAreCutTo1023Utf16Units)
{
    const std::string emoji = "\xF0\x9F\x98\x80";  // two UTF-16 units
    std::string pairs;
    for (int i = 0; i < 600; ++i) {
        pairs += emoji;
    }
    WriteTable("[ASCII]\nEN=" + std::string(1100, 'a') + "\n[FIT]\nEN=" + std::string(1022, 'b') + "\xC3\xA9" +
               "\n[PAIRS]\nEN=" + pairs + "\n[ESC]\nEN=" + std::string(1022, 'c') + "\\n\n[SHORT]\nEN=" +
               std::string(1020, 'd') + "\\n\n");
    const auto table = Make(0x0409);
    EXPECT_EQ(table.Text("ASCII"), std::string(1023, 'a'));
    EXPECT_EQ(table.Text("FIT"), std::string(1022, 'b') + "\xC3\xA9");
    // A surrogate pair is never split: 511 pairs fill 1022 units.
    const std::string cut = table.Text("PAIRS");
    EXPECT_EQ(ToUtf16(cut).size(), 1022u);
    EXPECT_EQ(cut.size(), 511u * emoji.size());
    // The cut comes before unescaping: an escape cut in half leaves a final backslash.
    EXPECT_EQ(table.Text("ESC"), std::string(1022, 'c') + "\\");
    EXPECT_EQ(table.Text("SHORT"), std::string(1020, 'd') + "\n");
}

// --- Message boxes ---

struct ShownMessage {
    static inline std::string text;
    static inline unsigned type = 0;
    static inline int calls = 0;
    static int Show(const std::string& t, unsigned ty)
    {
        text = t;
        type = ty;
        ++calls;
        return message_box::kIdCancel;
    }
};

TEST_F(StringTableTest, ShowMessageAddsRightToLeftReading)
{
    WriteTable(LanguageSection() + "[MSG]\nEN=Passwords differ.\nAR=\xD9\x83\xD9\x84\xD9\x85\xD8\xA9\n"
                                   "[RANGE]\nEN=between %d and %d\n");
    SetMessageBoxFunction(&ShownMessage::Show);
    ShownMessage::calls = 0;

    EXPECT_EQ(Make(0x0409).ShowMessage("MSG", message_box::kOkCancel), message_box::kIdCancel);
    EXPECT_EQ(ShownMessage::text, "Passwords differ.");
    EXPECT_EQ(ShownMessage::type, message_box::kOkCancel);

    Make(0x0401).ShowMessage("MSG", message_box::kOk | message_box::kIconError);
    EXPECT_EQ(ShownMessage::text, "\xD9\x83\xD9\x84\xD9\x85\xD8\xA9");
    EXPECT_EQ(ShownMessage::type, message_box::kOk | message_box::kIconError | message_box::kRtlReading);

    // Messages are looked up without arguments.
    Make(0x0409).ShowMessage("RANGE", message_box::kOk);
    EXPECT_EQ(ShownMessage::text, "between %d and %d");
    EXPECT_EQ(ShownMessage::calls, 3);

    SetMessageBoxFunction(nullptr);
    EXPECT_EQ(Make(0x0409).ShowMessage("MSG", message_box::kOk), 0);
    EXPECT_EQ(ShownMessage::calls, 3);
}

// --- The program's own table ---

TEST(StringTableSystemTest, SystemOptionsFollowTheEnvironment)
{
    if (SystemUiLanguageId()) {
        GTEST_SKIP() << "the system's own language setting decides on this system";
    }
    const char* saved = std::getenv("LC_ALL");
    const std::string savedValue = saved != nullptr ? saved : "";
    testing::SetEnvironment("LC_ALL", "ja_JP.UTF-8");
    const auto options = StringTable::SystemOptions();
    EXPECT_EQ(options.languageId, 0x0411);
    EXPECT_EQ(options.brandPath, "/etc/OrbBrand.ini");
    EXPECT_EQ(fs::path(options.tablePath).filename(), StringTable::kFileName);
    testing::SetEnvironment("LC_ALL", saved != nullptr ? std::optional<std::string>(savedValue) : std::nullopt);
}

TEST(StringTableSystemTest, TableIsFoundBesideTheProgramElseInThePrefixShareFolder)
{
    const fs::path prefix = fs::temp_directory_path() / ("tarrowind-prefix-" + std::to_string(getpid()));
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "share" / "tarrowind");
    const std::string bin = (prefix / "bin").string();
    EXPECT_EQ(StringTable::LocateTable(bin), bin + PathSeparator() + StringTable::kFileName) << "none anywhere";
    std::ofstream(prefix / "share" / "tarrowind" / StringTable::kFileName) << "[LANGUAGE]\n";
    EXPECT_EQ(fs::canonical(StringTable::LocateTable(bin)),
              fs::canonical(prefix / "share" / "tarrowind" / StringTable::kFileName));
    std::ofstream(prefix / "bin" / StringTable::kFileName) << "[LANGUAGE]\n";
    EXPECT_EQ(StringTable::LocateTable(bin), bin + PathSeparator() + StringTable::kFileName) << "a build tree's own copy";
    fs::remove_all(prefix);
}

}  // namespace
}  // namespace tarrowind
