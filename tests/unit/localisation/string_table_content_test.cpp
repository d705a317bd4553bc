// Checks the shipped string table itself: every key in every language, formats that fit their callers,
// and a LANGUAGE section that covers every identifier the program can derive.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
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

// Every key the program looks up.
constexpr std::array<const char*, 163> kKeys{
    // Main window, toolbar, context menu, about box
    "ORB_IDS_READY", "ORB_IDS_SEARCHING_SEC", "ORB_IDS_SEARCH", "ORB_IDS_STOP", "ORB_IDS_SET_LOGIN",
    "ORB_IDS_SETTING", "ORB_IDS_ADVANCEDSETTING", "ORB_IDS_REBOOT", "ORB_IDS_DEFAULT", "ORB_IDS_FIRMWARE_UPDATE",
    "ORB_IDS_FIRMWARE_UPDATE_TO_LATEST", "ORB_IDS_CANCEL_QUEUE_ITEMS", "ORB_IDC_SELECT_ALL", "ORB_IDC_SEARCH",
    "ORB_IDC_STOP", "ORB_IDC_SETTING", "ORB_IDC_ADVANCEDSETTING", "ORB_IDC_REBOOT", "ORB_IDC_DEFAULT",
    "ORB_IDC_FIRMWARE_UPDATE", "ORB_IDC_FIRMWARE_UPDATE_TO_LATEST", "ORB_IDC_CANCEL_QUEUE_ITEMS",
    "ORB_IDS_ABOUTBOX", "ORB_IDC_OK", "ORB_IDS_CONTROLLER_SETTING", "ORB_IDS_IP_IN_USE", "ORB_IDS_CANNOT_TELL_APART",
    // Device list headers
    "ORB_IDS_MODULE_NAME", "ORB_IDS_VERSION", "ORB_IDS_DEVICE_NAME", "ORB_IDS_MAC_ADDRESS", "ORB_IDS_IP",
    "ORB_IDS_SUBNET_MASK", "ORB_IDS_DEFAULT_GATEWAY", "ORB_IDS_NETWORK_ADAPTER", "ORB_IDS_ACTION",
    "ORB_IDS_STATUS", "ORB_IDS_PROGRESS",
    // Status words, codes 0 to 28
    "ORB_IDS_SS_NOT_SUPPORTED", "ORB_IDS_SS_NONE", "ORB_IDS_SS_CANNOT_ACCESS", "ORB_IDS_SS_QUEUE_LOGIN",
    "ORB_IDS_SS_LOGIN", "ORB_IDS_SS_LOGIN_FAILED", "ORB_IDS_SS_LOGIN_SUCCESSFULLY", "ORB_IDS_SS_QUEUE_SETTING",
    "ORB_IDS_SS_SETTING", "ORB_IDS_SS_SETTING_FAILED", "ORB_IDS_SS_QUEUE_REBOOT", "ORB_IDS_SS_REBOOT",
    "ORB_IDS_SS_REBOOT_FAILED", "ORB_IDS_SS_QUEUE_SET_DEFAULT", "ORB_IDS_SS_SET_DEFAULT",
    "ORB_IDS_SS_SET_DEFAULT_FAILED", "ORB_IDS_SS_QUEUE_FIRMWARE_UPDATE", "ORB_IDS_SS_FIRMWARE_UPLOADING",
    "ORB_IDS_SS_FIRMWARE_UPDATING", "ORB_IDS_SS_FIRMWARE_UPDATE_FAILED", "ORB_IDS_SS_LATEST_VERSION",
    "ORB_IDS_SS_UNKNOWN", "ORB_IDS_SS_WAIT_FOR_FIRMWARE_UPDATE", "ORB_IDS_SS_WAIT_FOR_LOGIN",
    "ORB_IDS_SS_FIRMWARE_NOT_TAKEN", "ORB_IDS_SS_CERTIFICATE_CHANGED", "ORB_IDS_SS_ADDRESS_UNUSABLE",
    "ORB_IDS_SS_ADDRESS_NOT_CONFIRMED", "ORB_IDS_SS_SETTINGS_UNREADABLE", "ORB_IDS_TIP_ADDRESS_NOT_CONFIRMED",
    // Settings sheet, Dactyl, login and firmware dialogs
    "ORB_IDS_NETWORK", "ORB_IDS_MACHINE_NAME", "ORB_IDS_DHCP_CLIENT", "ORB_IDS_ENABLE_DHCP",
    "ORB_IDS_DNS_SERVER", "ORB_IDS_SERVER_IP", "ORB_IDS_HOST_NAME", "ORB_IDS_USERNAME", "ORB_IDS_PASSWORD",
    "ORB_IDS_DDNS_TYPE", "ORB_IDS_GO_TO_REGISTER", "ORB_IDS_DISABLE", "ORB_IDS_SEND_TO_DDNS",
    "ORB_IDS_SEND_TO_LOCAL_DDNS", "ORB_IDS_OTHER", "ORB_IDS_3DES_CODE", "ORB_IDS_DEVICE_PORT", "ORB_IDS_ACCOUNT",
    "ORB_IDS_LOGIN_ID", "ORB_IDS_PASSWORD_CONFIRM", "ORB_IDS_PASSWORD_NOT_MATCH", "ORB_IDC_CANCEL",
    "ORB_IDS_FIRMWARE_FILE", "ORB_IDS_UPDATE", "ORB_IDS_FIRMWARE_FILE_IS_EMPTY", "ORB_IDS_LOGIN_ID_IS_EMPTY",
    "ORB_IDD_DACTYLSETTINGDLG", "ORB_IDS_PARSE_INT_RANGE",
    // List filter, export and copy, file choosers
    "ORB_IDS_FILTER", "ORB_IDS_SHOWN_OF_TOTAL", "ORB_IDS_EXPORT_LIST", "ORB_IDS_COPY", "ORB_IDS_SEARCH_ADDRESSES",
    "ORB_IDS_ASSIGN_ADDRESSES", "ORB_IDS_APPLY_PLAN", "ORB_IDS_CSV_FILES", "ORB_IDS_ALL_FILES",
    "ORB_IDS_CANNOT_WRITE_FILE", "ORB_IDS_CANNOT_READ_FILE", "ORB_IDS_RANGES_ACTIVE",
    // Search addresses dialog
    "ORB_IDS_SEARCH_ADDRESSES_TITLE", "ORB_IDS_ADDRESS_RANGES", "ORB_IDS_PROBE_RATE", "ORB_IDS_ADDRESS_COUNT",
    "ORB_IDS_RANGES_EMPTY_NOTE", "ORB_IDS_RANGE_NOT_A_RANGE", "ORB_IDS_RANGE_REVERSED", "ORB_IDS_RANGE_NOT_UNICAST",
    "ORB_IDS_RANGE_TOO_MANY",
    // Assign addresses dialog
    "ORB_IDS_ASSIGN_ADDRESSES_TITLE", "ORB_IDS_START_ADDRESS", "ORB_IDS_GATEWAY_KEEP_HINT", "ORB_IDS_OLD_ADDRESS",
    "ORB_IDS_NEW_ADDRESS", "ORB_IDS_NOTE", "ORB_IDS_NOTE_IN_USE", "ORB_IDS_NOTE_NOT_LOGGED_IN",
    "ORB_IDS_NOTE_NOT_OFFERED", "ORB_IDS_NOTE_BUSY", "ORB_IDS_ASSIGN_SUMMARY", "ORB_IDS_PLAN_BAD_START",
    "ORB_IDS_PLAN_BAD_MASK", "ORB_IDS_PLAN_PAST_SUBNET", "ORB_IDS_PLAN_BAD_GATEWAY", "ORB_IDS_NOTE_SHARED_ADDRESS",
    "ORB_IDS_NOTE_CANNOT_TELL_APART",
    // Address rules: the settings sheet, address assignment and plans
    "ORB_IDS_ADDRESS_NOT_HOST", "ORB_IDS_GATEWAY_OFF_SUBNET", "ORB_IDS_GATEWAY_IS_ADDRESS", "ORB_IDS_GATEWAY_IS_MODULE",
    "ORB_IDS_MASK_TOO_NARROW", "ORB_IDS_ADDRESS_TAKEN",
    // Apply plan dialog
    "ORB_IDS_APPLY_PLAN_TITLE", "ORB_IDS_PLAN_CHANGES", "ORB_IDS_FIELD", "ORB_IDS_OLD_VALUE", "ORB_IDS_NEW_VALUE",
    "ORB_IDS_PLAN_PROBLEMS", "ORB_IDS_PLAN_LINE", "ORB_IDS_PLAN_NO_MODULE", "ORB_IDS_PLAN_MAC_TWICE",
    "ORB_IDS_PLAN_ADDRESS_TWICE", "ORB_IDS_PLAN_BAD_VALUE", "ORB_IDS_PLAN_NO_MAC", "ORB_IDS_PLAN_NO_MAC_COLUMN",
    "ORB_IDS_PLAN_TOO_LARGE", "ORB_IDS_PLAN_NOTHING", "ORB_IDS_PLAN_SUMMARY",
    // Status bar notice of a user who may not make static neighbour entries
    "ORB_IDS_NO_STATIC_ARP", "ORB_IDS_NO_STATIC_ARP_TIP",
    // A module's changed certificate: the command that takes it and the row's note
    "ORB_IDS_TRUST_NEW_CERTIFICATE", "ORB_IDS_CERT_KNOWN_KEY", "ORB_IDS_CERT_FIRST_SEEN", "ORB_IDS_CERT_SHOWN_KEY",
    "ORB_IDS_CERT_PLAIN_HTTP",
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
    std::set<std::string> expected(kKeys.begin(), kKeys.end());
    expected.insert("LANGUAGE");
    EXPECT_EQ(expected.size(), kKeys.size() + 1) << "a key is listed twice";
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
        EXPECT_LT(sameAsEnglish, kKeys.size() / 10) << language << " repeats the English texts";
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
