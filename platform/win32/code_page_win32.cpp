#include "platform/code_page.h"

#include <windows.h>

#include <string>

#include "platform/win32/wide_text.h"

namespace tarrowind {
namespace {

bool AnsiIsUtf8()
{
    return ::GetACP() == CP_UTF8;
}

}  // namespace

const std::string& AnsiCharset()
{
    static const std::string charset = [] {
        const unsigned page = ::GetACP();
        if (page == CP_UTF8) {
            return std::string("UTF-8");
        }
        return (page >= 1250 && page <= 1258 ? "WINDOWS-" : "CP") + std::to_string(page);
    }();
    return charset;
}

std::string AnsiToUtf8(std::string_view bytes)
{
    if (AnsiIsUtf8() || bytes.empty()) {
        return SanitizeUtf8(bytes);
    }
    const int length = static_cast<int>(bytes.size());
    const int units = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    if (units <= 0) {
        return SanitizeUtf8(bytes);
    }
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, wide.data(), units);
    // The system maps the bytes a code page leaves undefined to C1 controls; no defined byte of an ANSI
    // code page gives one, so they are marked as undecodable.
    for (wchar_t& c : wide) {
        if (c >= 0x80 && c <= 0x9F) {
            c = 0xFFFD;
        }
    }
    return Utf8FromWide(wide);
}

std::string Utf8ToAnsi(std::string_view text)
{
    if (AnsiIsUtf8() || text.empty()) {
        return SanitizeUtf8(text);
    }
    // No best fit: a character the page lacks becomes "?", never a look-alike such as a path separator.
    const std::wstring wide = WideFromUtf8(text);
    const int units = static_cast<int>(wide.size());
    const int bytes = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, nullptr, 0, "?", nullptr);
    std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, out.data(), bytes, "?", nullptr);
    }
    return out;
}

}  // namespace tarrowind
