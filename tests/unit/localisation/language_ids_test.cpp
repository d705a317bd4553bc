#include "localisation/language_ids.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace tarrowind {
namespace {

TEST(LanguageIdsTest, ShippedLanguagesAndTheirRegions)
{
    const std::map<std::string, std::uint16_t> expected{
        {"en_US", 0x0409}, {"en_GB", 0x0809}, {"zh_TW", 0x0404}, {"zh_HK", 0x0c04}, {"zh_CN", 0x0804},
        {"zh_SG", 0x1004}, {"ja_JP", 0x0411}, {"de_DE", 0x0407}, {"de_AT", 0x0c07}, {"de_CH", 0x0807},
        {"fr_FR", 0x040c}, {"fr_BE", 0x080c}, {"fr_CA", 0x0c0c}, {"fr_CH", 0x100c}, {"es_ES", 0x0c0a},
        {"es_MX", 0x080a}, {"es_AR", 0x2c0a}, {"es_CO", 0x240a}, {"es_US", 0x540a}, {"ar_SA", 0x0401},
        {"ar_EG", 0x0c01}, {"ar_AE", 0x3801}, {"ar_MA", 0x1801},
    };
    for (const auto& [locale, id] : expected) {
        EXPECT_EQ(LanguageIdFromLocale(locale), id) << locale;
    }
}

TEST(LanguageIdsTest, CodesetModifierAndLetterCaseAreIgnored)
{
    EXPECT_EQ(LanguageIdFromLocale("de_AT.UTF-8"), 0x0c07);
    EXPECT_EQ(LanguageIdFromLocale("de_AT.ISO-8859-15@euro"), 0x0c07);
    EXPECT_EQ(LanguageIdFromLocale("zh_TW.Big5"), 0x0404);
    EXPECT_EQ(LanguageIdFromLocale("fr_CA@latin"), 0x0c0c);
    EXPECT_EQ(LanguageIdFromLocale("ZH_tw"), 0x0404);
    EXPECT_EQ(LanguageIdFromLocale("zh-TW"), 0x0404);
}

TEST(LanguageIdsTest, BareLanguageGivesItsMainCountry)
{
    EXPECT_EQ(LanguageIdFromLocale("de"), 0x0407);
    EXPECT_EQ(LanguageIdFromLocale("fr.UTF-8"), 0x040c);
    EXPECT_EQ(LanguageIdFromLocale("es"), 0x0c0a);
    EXPECT_EQ(LanguageIdFromLocale("zh"), 0x0804);
    EXPECT_EQ(LanguageIdFromLocale("ja"), 0x0411);
    EXPECT_EQ(LanguageIdFromLocale("ar"), 0x0401);
    // A known language in a region without an identifier of its own.
    EXPECT_EQ(LanguageIdFromLocale("de_BE.UTF-8"), 0x0407);
    EXPECT_EQ(LanguageIdFromLocale("es_419"), 0x0c0a);
}

TEST(LanguageIdsTest, CPosixAndUnknownGiveEnglish)
{
    for (const char* locale : {"C", "C.UTF-8", "POSIX", "", "xx_YY", "it_IT.UTF-8", "en_XX", "e", "english",
                               "_DE", "\xC3\xA9_FR"}) {
        EXPECT_EQ(LanguageIdFromLocale(locale), kLanguageIdEnglishUs) << locale;
    }
}

TEST(LanguageIdsTest, FirstSetAndNonEmptyVariableWins)
{
    std::map<std::string, std::string> env;
    const auto lookup = [&env](const char* name) -> const char* {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    EXPECT_EQ(SystemLanguageId(lookup), kLanguageIdEnglishUs);
    env["LANG"] = "fr_FR.UTF-8";
    EXPECT_EQ(SystemLanguageId(lookup), 0x040c);
    env["LC_MESSAGES"] = "ja_JP.UTF-8";
    EXPECT_EQ(SystemLanguageId(lookup), 0x0411);
    env["LC_ALL"] = "";
    EXPECT_EQ(SystemLanguageId(lookup), 0x0411);
    env["LC_ALL"] = "de_CH.UTF-8";
    EXPECT_EQ(SystemLanguageId(lookup), 0x0807);
    env["LC_ALL"] = "C";
    EXPECT_EQ(SystemLanguageId(lookup), kLanguageIdEnglishUs);
}

TEST(LanguageIdsTest, IdentifierEntryNames)
{
    EXPECT_EQ(FormatLanguageId(0x0409), "0x0409");
    EXPECT_EQ(FormatLanguageId(0x0c0a), "0x0c0a");
    EXPECT_EQ(FormatLanguageId(0x0), "0x0000");
    EXPECT_EQ(FormatLanguageId(0xABCD), "0xabcd");
}

TEST(LanguageIdsTest, TableIsConsistent)
{
    std::set<std::string> locales;
    std::set<std::string> bareLanguages;
    for (const auto& entry : KnownLocaleLanguageIds()) {
        const std::string locale(entry.locale);
        EXPECT_TRUE(locales.insert(locale).second) << "twice: " << locale;
        EXPECT_EQ(LanguageIdFromLocale(locale), entry.id) << locale;
        if (locale.find('_') == std::string::npos) {
            bareLanguages.insert(locale);
        }
    }
    // Every language with regions also has a bare entry, and the two ids share the primary language.
    for (const auto& entry : KnownLocaleLanguageIds()) {
        const std::string language(entry.locale.substr(0, 2));
        EXPECT_EQ(bareLanguages.count(language), 1u) << entry.locale;
        EXPECT_EQ(entry.id & 0x3FF, LanguageIdFromLocale(language) & 0x3FF) << entry.locale;
    }
    EXPECT_EQ(bareLanguages, (std::set<std::string>{"ar", "de", "en", "es", "fr", "ja", "zh"}));
}

}  // namespace
}  // namespace tarrowind
