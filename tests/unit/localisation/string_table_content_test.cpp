// Checks the shipped string table itself: every key in every language, formats that fit their callers,
// and a LANGUAGE section that covers every identifier the program can derive.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "localisation/ini_reader.h"
#include "localisation/language_ids.h"
#include "localisation/safe_format.h"
#include "localisation/string_table.h"
#include "localisation/text_escapes.h"
#include "platform/utf16.h"

#ifndef TARROWIND_STRING_TABLE_SOURCE
#error "TARROWIND_STRING_TABLE_SOURCE must name resources/Tarrowind.StringTable"
#endif

namespace tarrowind {
namespace {

constexpr std::array<const char*, 8> kLanguages{"EN", "TW", "CN", "JP", "DE", "FR", "ES", "AR"};

// Every key the product's sources look up, gathered from them at build time.
constexpr const char* kKeys[]{
#include "string_table_keys.inc"
};

// Keys that take arguments, with the conversions their callers supply.
const std::map<std::string, std::string> kConversions{
    {"ORB_IDS_SEARCHING_SEC", "d"},
    {"ORB_IDS_PARSE_INT_RANGE", "dd"},
    {"ORB_IDS_SHOWN_OF_TOTAL", "dd"},
    {"ORB_IDS_RANGES_ACTIVE", "d"},
    {"ORB_IDS_ADDRESS_COUNT", "d"},
    {"ORB_IDS_ASSIGN_SUMMARY", "dd"},
    {"ORB_IDS_PLAN_SUMMARY", "d"},
    {"ORB_IDS_NOTE_SHARED_ADDRESS", "d"},
    {"ORB_IDS_WORK_COUNTS", "dd"},
    {"ORB_IDS_WORK_COUNTS_ENDED", "dddd"},
    {"ORB_IDS_BATCH_SUMMARY", "ddd"},
    {"ORB_IDS_BATCH_SUMMARY_LOGIN", "ddd"},
    {"ORB_IDS_BATCH_SUMMARY_SETTING", "ddd"},
    {"ORB_IDS_BATCH_SUMMARY_REBOOT", "ddd"},
    {"ORB_IDS_BATCH_SUMMARY_DEFAULT", "ddd"},
    {"ORB_IDS_BATCH_SUMMARY_FIRMWARE", "ddd"},
    {"ORB_IDS_CLOSE_REFUSED", "d"},
    {"ORB_IDS_FIRMWARE_MODULE_COUNT", "d"},
    {"ORB_IDS_AT_MOST_CHARACTERS", "d"},
    {"ORB_IDS_BACKUP_SUMMARY", "ddd"},
    {"ORB_IDS_CHANGE_LOGIN_NOTE", "d"},
};

// Texts the program shows an item after (a field caption or a message naming its subject); every other
// caption gets its colon from Label.
const std::set<std::string> kEndInColon{
    "ORB_IDS_ADDRESS_RANGES", "ORB_IDS_PROBE_RATE", "ORB_IDS_RANGE_NOT_A_RANGE", "ORB_IDS_RANGE_REVERSED",
    "ORB_IDS_RANGE_NOT_UNICAST",
};

class StringTableContentTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::ifstream file(TARROWIND_STRING_TABLE_SOURCE, std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        s_bytes = new std::string(bytes.str());
        s_reader = new IniReader(IniReader::FromBytes(*s_bytes));
    }
    static void TearDownTestSuite()
    {
        delete s_reader;
        delete s_bytes;
    }

    static std::string Raw(const char* key, const char* language)
    {
        return s_reader->Find(key, language).value_or("");
    }
    static StringTable Table(std::uint16_t languageId)
    {
        return StringTable(StringTable::Options{TARROWIND_STRING_TABLE_SOURCE, "", languageId});
    }

    static inline std::string* s_bytes = nullptr;
    static inline IniReader* s_reader = nullptr;
};

std::u32string Codepoints(const std::string& utf8)
{
    const std::u16string units = ToUtf16(utf8);
    std::u32string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size()) {
            out += 0x10000 + ((u - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else {
            out += u;
        }
    }
    return out;
}

bool HasArabic(const std::string& text)
{
    const auto cps = Codepoints(text);
    return std::any_of(cps.begin(), cps.end(), [](char32_t c) { return c >= 0x0600 && c <= 0x06FF; });
}

bool HasCjk(const std::string& text)
{
    const auto cps = Codepoints(text);
    return std::any_of(cps.begin(), cps.end(), [](char32_t c) {
        return (c >= 0x3040 && c <= 0x30FF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xFF00 && c <= 0xFFEF);
    });
}

TEST_F(StringTableContentTest, FileIsUtf8WithByteOrderMark)
{
    ASSERT_GE(s_bytes->size(), 3u);
    EXPECT_EQ(s_bytes->substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(DecodeTextFile(*s_bytes).size(), s_bytes->size() - 3) << "invalid UTF-8 in the table";
}

TEST_F(StringTableContentTest, EveryKeyHasATextInEveryLanguage)
{
    for (const char* key : kKeys) {
        for (const char* language : kLanguages) {
            EXPECT_FALSE(Raw(key, language).empty()) << key << " " << language;
        }
    }
}

TEST_F(StringTableContentTest, FileHoldsNoOtherSections)
{
    std::set<std::string> expected(std::begin(kKeys), std::end(kKeys));
    expected.insert("LANGUAGE");
    std::set<std::string> found;
    std::istringstream lines(DecodeTextFile(*s_bytes));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.front() == '[') {
            const std::string name = line.substr(1, line.find(']') - 1);
            EXPECT_TRUE(found.insert(name).second) << "section twice: " << name;
        }
    }
    EXPECT_EQ(found, expected);
}

TEST_F(StringTableContentTest, ListsBelowNameOnlyKeysTheCodeUses)
{
    const std::set<std::string> used(std::begin(kKeys), std::end(kKeys));
    for (const auto& [key, conversions] : kConversions) {
        EXPECT_EQ(used.count(key), 1u) << key;
    }
    for (const auto& key : kEndInColon) {
        EXPECT_EQ(used.count(key), 1u) << key;
    }
}

TEST_F(StringTableContentTest, OnlyTheKeysWithArgumentsHoldConversions)
{
    for (const char* key : kKeys) {
        const auto it = kConversions.find(key);
        const std::string wanted = it == kConversions.end() ? "" : it->second;
        for (const char* language : kLanguages) {
            const auto conversions = FormatConversions(UnescapeText(Raw(key, language)));
            ASSERT_TRUE(conversions.has_value()) << key << " " << language << ": not a valid format";
            EXPECT_EQ(*conversions, wanted) << key << " " << language;
        }
    }
}

TEST_F(StringTableContentTest, FormattedTextsShowTheirArguments)
{
    for (const char* language : kLanguages) {
        const auto raw = UnescapeText(Raw("ORB_IDS_PARSE_INT_RANGE", language));
        const auto range = FormatInts(raw, std::array{1025, 65535});
        ASSERT_TRUE(range.has_value()) << language;
        const auto low = range->find("1025");
        const auto high = range->find("65535");
        ASSERT_NE(low, std::string::npos) << language;
        ASSERT_NE(high, std::string::npos) << language;
        EXPECT_LT(low, high) << language << ": the lowest value comes first";
        const auto seconds = FormatInts(UnescapeText(Raw("ORB_IDS_SEARCHING_SEC", language)), std::array{37});
        ASSERT_TRUE(seconds.has_value()) << language;
        EXPECT_NE(seconds->find("37"), std::string::npos) << language;
        // Callers pass the part before the whole.
        for (const char* key : {"ORB_IDS_SHOWN_OF_TOTAL", "ORB_IDS_ASSIGN_SUMMARY"}) {
            const auto counted = FormatInts(UnescapeText(Raw(key, language)), std::array{37, 4096});
            ASSERT_TRUE(counted.has_value()) << key << " " << language;
            const auto part = counted->find("37");
            const auto whole = counted->find("4096");
            ASSERT_NE(part, std::string::npos) << key << " " << language;
            ASSERT_NE(whole, std::string::npos) << key << " " << language;
            EXPECT_LT(part, whole) << key << " " << language << ": the count comes before the total";
        }
    }
}

TEST_F(StringTableContentTest, TextsUseOnlyKnownEscapesAndFinalColonsWhereAnItemFollows)
{
    for (const char* key : kKeys) {
        for (const char* language : kLanguages) {
            const std::string raw = Raw(key, language);
            for (std::size_t i = 0; i < raw.size(); ++i) {
                if (raw[i] == '\\') {
                    ASSERT_LT(i + 1, raw.size()) << key << " " << language;
                    EXPECT_NE(std::string("\\nrt").find(raw[i + 1]), std::string::npos) << key << " " << language;
                    ++i;
                }
            }
            // Field captions get their colon from Label; list headers and group boxes share the text.
            EXPECT_EQ(raw.back() == ':', kEndInColon.count(key) == 1) << key << " " << language;
            EXPECT_EQ(raw.find('\t'), std::string::npos) << key << " " << language;
        }
    }
}

TEST_F(StringTableContentTest, AcceleratorsFollowTheEnglishTexts)
{
    for (const char* key : kKeys) {
        const bool english = Raw(key, "EN").find('&') != std::string::npos;
        for (const char* language : kLanguages) {
            EXPECT_EQ(Raw(key, language).find('&') != std::string::npos, english) << key << " " << language;
        }
    }
}

TEST_F(StringTableContentTest, TextsAreWrittenInTheirLanguage)
{
    for (const char* language : kLanguages) {
        if (std::string(language) == "EN") {
            continue;
        }
        std::size_t sameAsEnglish = 0;
        for (const char* key : kKeys) {
            const std::string text = Raw(key, language);
            sameAsEnglish += text == Raw(key, "EN") ? 1 : 0;
            if (std::string(language) == "AR") {
                EXPECT_TRUE(HasArabic(text)) << key;
            }
            const bool cjk = language == std::string("TW") || language == std::string("CN") ||
                             language == std::string("JP");
            // "OK" is what Japanese dialogs show.
            if (cjk && !(language == std::string("JP") && key == std::string("ORB_IDC_OK"))) {
                EXPECT_TRUE(HasCjk(text)) << key << " " << language;
            }
        }
        EXPECT_LT(sameAsEnglish, std::size(kKeys) / 10) << language << " repeats the English texts";
    }
    EXPECT_NE(Raw("ORB_IDS_FIRMWARE_UPDATE", "TW"), Raw("ORB_IDS_FIRMWARE_UPDATE", "CN"));
}

TEST_F(StringTableContentTest, ProgramAndModuleNamesStay)
{
    for (const char* language : kLanguages) {
        EXPECT_NE(Raw("ORB_IDS_ABOUTBOX", language).find("Tarrowind"), std::string::npos) << language;
        EXPECT_NE(Raw("ORB_IDD_DACTYLSETTINGDLG", language).find("Dactyl"), std::string::npos) << language;
    }
}

TEST_F(StringTableContentTest, EveryKnownIdentifierMapsToAShippedLanguage)
{
    std::set<std::string> used;
    for (const auto& entry : KnownLocaleLanguageIds()) {
        const auto code = s_reader->Find("LANGUAGE", FormatLanguageId(entry.id));
        ASSERT_TRUE(code.has_value()) << entry.locale;
        EXPECT_NE(std::find(kLanguages.begin(), kLanguages.end(), *code), kLanguages.end()) << entry.locale;
        used.insert(*code);
        const auto table = Table(entry.id);
        EXPECT_EQ(table.LanguageCode(), *code) << entry.locale;
        EXPECT_EQ(table.IsRightToLeft(), *code == "AR") << entry.locale;
        EXPECT_EQ(table.Text("ORB_IDS_SEARCH"), Raw("ORB_IDS_SEARCH", code->c_str())) << entry.locale;
    }
    EXPECT_EQ(used, std::set<std::string>(kLanguages.begin(), kLanguages.end()));
}

TEST_F(StringTableContentTest, RegionsGetTheirScript)
{
    EXPECT_EQ(Table(LanguageIdFromLocale("zh_HK")).LanguageCode(), "TW");
    EXPECT_EQ(Table(LanguageIdFromLocale("zh_SG")).LanguageCode(), "CN");
    EXPECT_EQ(Table(LanguageIdFromLocale("fr_CA")).LanguageCode(), "FR");
    EXPECT_EQ(Table(LanguageIdFromLocale("es_MX")).LanguageCode(), "ES");
    EXPECT_EQ(Table(LanguageIdFromLocale("de_AT")).LanguageCode(), "DE");
    EXPECT_EQ(Table(LanguageIdFromLocale("ar_EG")).LanguageCode(), "AR");
    EXPECT_EQ(Table(LanguageIdFromLocale("ko_KR")).LanguageCode(), "EN");
}

TEST_F(StringTableContentTest, ArabicIsTheOnlyRightToLeftLanguage)
{
    for (const char* language : kLanguages) {
        const auto flag = s_reader->Find("LANGUAGE", language);
        ASSERT_TRUE(flag.has_value()) << language;
        EXPECT_EQ(*flag, std::string(language) == "AR" ? "1" : "0") << language;
    }
    const auto arabic = Table(0x0401);
    EXPECT_TRUE(arabic.IsRightToLeft());
    EXPECT_TRUE(HasArabic(arabic.Text("ORB_IDS_PARSE_INT_RANGE", 1025, 65535)));
}

}  // namespace
}  // namespace tarrowind
