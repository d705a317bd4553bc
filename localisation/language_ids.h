#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace tarrowind {

// Windows language identifier of English (United States): the identifier of "C", "POSIX" and every locale
// the program does not know.
inline constexpr std::uint16_t kLanguageIdEnglishUs = 0x0409;

struct LocaleLanguageId {
    // "de_AT": language in lower case, territory in upper case; a bare language stands for its main country.
    std::string_view locale;
    std::uint16_t id;
};

// Every locale with an identifier of its own: the shipped languages and their common regional variants.
std::span<const LocaleLanguageId> KnownLocaleLanguageIds();

// The identifier for a POSIX locale name such as "de_AT.UTF-8@euro", "fr" or "zh-TW". A known language
// with an unknown territory gets the language's main identifier.
std::uint16_t LanguageIdFromLocale(std::string_view locale);

// The identifier of the user's message language: the system's own where it keeps one, else from the
// first of LC_ALL, LC_MESSAGES and LANG that is set and not empty. `getEnv` stands in for std::getenv.
using EnvironmentLookup = std::function<const char*(const char* name)>;
std::uint16_t SystemLanguageId(const EnvironmentLookup& getEnv);
std::uint16_t SystemLanguageId();

// The name of the identifier's entry in the LANGUAGE section: "0x" and four lower-case hexadecimal digits.
std::string FormatLanguageId(std::uint16_t id);

}  // namespace tarrowind
