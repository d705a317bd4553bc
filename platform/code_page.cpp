#include "platform/code_page.h"
#include "platform/utf8_sequence.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tarrowind {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool IsUtf8Charset(std::string_view name)
{
    return name == "UTF-8" || name == "utf8" || name == "UTF8";
}

std::string DetectCharset()
{
    const char* names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    const char* chosen = nullptr;
    for (const char* name : names) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            chosen = value;
            break;
        }
    }
    if (chosen == nullptr || std::strcmp(chosen, "C") == 0 || std::strcmp(chosen, "POSIX") == 0) {
        return "WINDOWS-1252";
    }
    // Ask the C library for the locale's own character set without touching the process locale.
    locale_t locale = ::newlocale(LC_CTYPE_MASK, chosen, static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) {
        return "WINDOWS-1252";
    }
    std::string charset = ::nl_langinfo_l(CODESET, locale);
    ::freelocale(locale);
    if (charset.empty() || charset == "ANSI_X3.4-1968") {
        return "WINDOWS-1252";
    }
    return charset;
}

// Converts with iconv, replacing what cannot be converted one input unit at a time.
std::string Convert(std::string_view input, const char* to, const char* from, std::string_view replacement,
                    bool fromUtf8)
{
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(input);
    }
    std::string out;
    std::vector<char> chunk(256);
    std::size_t pos = 0;
    while (pos < input.size()) {
        char* in = const_cast<char*>(input.data() + pos);
        std::size_t inLeft = input.size() - pos;
        char* outPtr = chunk.data();
        std::size_t outLeft = chunk.size();
        const std::size_t result = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(chunk.data(), chunk.size() - outLeft);
        pos = input.size() - inLeft;
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // Skip one unit of input that cannot be converted and mark it.
            std::size_t skip = 1;
            if (fromUtf8) {
                const std::size_t valid = Utf8SequenceLength(input.substr(pos));
                skip = valid == 0 ? 1 : valid;
            }
            pos += skip;
            out += replacement;
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    ::iconv_close(cd);
    return out;
}

}  // namespace

const std::string& AnsiCharset()
{
    static const std::string charset = DetectCharset();
    return charset;
}

std::string AnsiToUtf8(std::string_view bytes)
{
    if (IsUtf8Charset(AnsiCharset())) {
        return SanitizeUtf8(bytes);
    }
    return Convert(bytes, "UTF-8", AnsiCharset().c_str(), kReplacement, false);
}

std::string Utf8ToAnsi(std::string_view text)
{
    if (IsUtf8Charset(AnsiCharset())) {
        return SanitizeUtf8(text);
    }
    return Convert(text, AnsiCharset().c_str(), "UTF-8", "?", true);
}

}  // namespace tarrowind
