#include "localisation/language_ids.h"

#include <array>
#include <cstdlib>

#include "platform/ascii_case.h"
#include "platform/process_environment.h"

namespace tarrowind {
namespace {

constexpr std::array kLocales{
    // English
    LocaleLanguageId{"en", 0x0409},    LocaleLanguageId{"en_US", 0x0409}, LocaleLanguageId{"en_GB", 0x0809},
    LocaleLanguageId{"en_AU", 0x0c09}, LocaleLanguageId{"en_CA", 0x1009}, LocaleLanguageId{"en_NZ", 0x1409},
    LocaleLanguageId{"en_IE", 0x1809}, LocaleLanguageId{"en_ZA", 0x1c09}, LocaleLanguageId{"en_JM", 0x2009},
    LocaleLanguageId{"en_BZ", 0x2809}, LocaleLanguageId{"en_TT", 0x2c09}, LocaleLanguageId{"en_ZW", 0x3009},
    LocaleLanguageId{"en_PH", 0x3409}, LocaleLanguageId{"en_HK", 0x3c09}, LocaleLanguageId{"en_IN", 0x4009},
    LocaleLanguageId{"en_MY", 0x4409}, LocaleLanguageId{"en_SG", 0x4809},
    // Chinese: Taiwan, Hong Kong and Macao write Traditional, the mainland and Singapore Simplified
    LocaleLanguageId{"zh", 0x0804},    LocaleLanguageId{"zh_CN", 0x0804}, LocaleLanguageId{"zh_SG", 0x1004},
    LocaleLanguageId{"zh_TW", 0x0404}, LocaleLanguageId{"zh_HK", 0x0c04}, LocaleLanguageId{"zh_MO", 0x1404},
    // Japanese
    LocaleLanguageId{"ja", 0x0411},    LocaleLanguageId{"ja_JP", 0x0411},
    // German
    LocaleLanguageId{"de", 0x0407},    LocaleLanguageId{"de_DE", 0x0407}, LocaleLanguageId{"de_CH", 0x0807},
    LocaleLanguageId{"de_AT", 0x0c07}, LocaleLanguageId{"de_LU", 0x1007}, LocaleLanguageId{"de_LI", 0x1407},
    // French
    LocaleLanguageId{"fr", 0x040c},    LocaleLanguageId{"fr_FR", 0x040c}, LocaleLanguageId{"fr_BE", 0x080c},
    LocaleLanguageId{"fr_CA", 0x0c0c}, LocaleLanguageId{"fr_CH", 0x100c}, LocaleLanguageId{"fr_LU", 0x140c},
    LocaleLanguageId{"fr_MC", 0x180c}, LocaleLanguageId{"fr_RE", 0x200c}, LocaleLanguageId{"fr_CD", 0x240c},
    LocaleLanguageId{"fr_SN", 0x280c}, LocaleLanguageId{"fr_CM", 0x2c0c}, LocaleLanguageId{"fr_CI", 0x300c},
    LocaleLanguageId{"fr_ML", 0x340c}, LocaleLanguageId{"fr_MA", 0x380c}, LocaleLanguageId{"fr_HT", 0x3c0c},
    // Spanish (Spain with the modern sort order, as current systems report it)
    LocaleLanguageId{"es", 0x0c0a},    LocaleLanguageId{"es_ES", 0x0c0a}, LocaleLanguageId{"es_MX", 0x080a},
    LocaleLanguageId{"es_GT", 0x100a}, LocaleLanguageId{"es_CR", 0x140a}, LocaleLanguageId{"es_PA", 0x180a},
    LocaleLanguageId{"es_DO", 0x1c0a}, LocaleLanguageId{"es_VE", 0x200a}, LocaleLanguageId{"es_CO", 0x240a},
    LocaleLanguageId{"es_PE", 0x280a}, LocaleLanguageId{"es_AR", 0x2c0a}, LocaleLanguageId{"es_EC", 0x300a},
    LocaleLanguageId{"es_CL", 0x340a}, LocaleLanguageId{"es_UY", 0x380a}, LocaleLanguageId{"es_PY", 0x3c0a},
    LocaleLanguageId{"es_BO", 0x400a}, LocaleLanguageId{"es_SV", 0x440a}, LocaleLanguageId{"es_HN", 0x480a},
    LocaleLanguageId{"es_NI", 0x4c0a}, LocaleLanguageId{"es_PR", 0x500a}, LocaleLanguageId{"es_US", 0x540a},
    // Arabic
    LocaleLanguageId{"ar", 0x0401},    LocaleLanguageId{"ar_SA", 0x0401}, LocaleLanguageId{"ar_IQ", 0x0801},
    LocaleLanguageId{"ar_EG", 0x0c01}, LocaleLanguageId{"ar_LY", 0x1001}, LocaleLanguageId{"ar_DZ", 0x1401},
    LocaleLanguageId{"ar_MA", 0x1801}, LocaleLanguageId{"ar_TN", 0x1c01}, LocaleLanguageId{"ar_OM", 0x2001},
    LocaleLanguageId{"ar_YE", 0x2401}, LocaleLanguageId{"ar_SY", 0x2801}, LocaleLanguageId{"ar_JO", 0x2c01},
    LocaleLanguageId{"ar_LB", 0x3001}, LocaleLanguageId{"ar_KW", 0x3401}, LocaleLanguageId{"ar_AE", 0x3801},
    LocaleLanguageId{"ar_BH", 0x3c01}, LocaleLanguageId{"ar_QA", 0x4001},
};

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

const LocaleLanguageId* FindLocale(std::string_view name)
{
    for (const auto& entry : kLocales) {
        if (entry.locale == name) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

std::span<const LocaleLanguageId> KnownLocaleLanguageIds()
{
    return kLocales;
}

std::uint16_t LanguageIdFromLocale(std::string_view locale)
{
    // language[_territory][.codeset][@modifier]; "-" is taken as the separator too.
    std::size_t pos = 0;
    std::string language;
    while (pos < locale.size() && IsLetter(locale[pos]) && language.size() < 3) {
        language += LowerAscii(locale[pos++]);
    }
    if (language.size() < 2 || (pos < locale.size() && IsLetter(locale[pos]))) {
        return kLanguageIdEnglishUs;
    }
    std::string territory;
    if (pos < locale.size() && (locale[pos] == '_' || locale[pos] == '-')) {
        ++pos;
        while (pos < locale.size() && IsLetter(locale[pos]) && territory.size() < 3) {
            territory += UpperAscii(locale[pos++]);
        }
    }
    if (!territory.empty()) {
        if (const auto* exact = FindLocale(language + "_" + territory)) {
            return exact->id;
        }
    }
    const auto* bare = FindLocale(language);
    return bare != nullptr ? bare->id : kLanguageIdEnglishUs;
}

std::uint16_t SystemLanguageId(const EnvironmentLookup& getEnv)
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getEnv ? getEnv(name) : nullptr;
        if (value != nullptr && *value != '\0') {
            return LanguageIdFromLocale(value);
        }
    }
    return kLanguageIdEnglishUs;
}

std::uint16_t SystemLanguageId()
{
    if (const auto id = SystemUiLanguageId()) {
        return *id;
    }
    return SystemLanguageId([](const char* name) -> const char* { return std::getenv(name); });
}

std::string FormatLanguageId(std::uint16_t id)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) {
        text += kDigits[(id >> shift) & 0xF];
    }
    return text;
}

}  // namespace tarrowind
