#include "platform/process_environment.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "platform/win32/wide_text.h"

namespace tarrowind {

std::string ProgramDirectory()
{
    // Long paths: grow the buffer until the whole name fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return ".";
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        if (buffer.size() >= 32768) {
            return ".";
        }
        buffer.resize(buffer.size() * 2);
    }
    const auto separator = buffer.find_last_of(L"\\/");
    if (separator == std::wstring::npos) {
        return ".";
    }
    return Utf8FromWide(std::wstring_view(buffer).substr(0, separator));
}

char PathSeparator()
{
    return '\\';
}

std::optional<std::string> EnvironmentVariable(const std::string& name)
{
    const std::wstring wideName = WideFromUtf8(name);
    ::SetLastError(ERROR_SUCCESS);
    const DWORD needed = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (needed == 0) {
        // Set to an empty text is still set.
        return ::GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt : std::optional<std::string>("");
    }
    std::wstring value(needed, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), needed);
    value.resize(length < needed ? length : 0);
    return Utf8FromWide(value);
}

std::string BrandFilePath()
{
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = ::GetWindowsDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
        return "OrbBrand.ini";
    }
    return Utf8FromWide(std::wstring_view(folder, length)) + "\\OrbBrand.ini";
}

std::optional<std::uint16_t> SystemUiLanguageId()
{
    return static_cast<std::uint16_t>(::GetUserDefaultUILanguage());
}

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Utf8FromWide(wide[i]));
    }
    ::LocalFree(wide);
    return arguments;
}

void UseUtf8Console()
{
    ::SetConsoleOutputCP(CP_UTF8);
    // Whole lines reach the console at once, so that a UTF-8 sequence is never split between writes.
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
}

void WriteToParentConsole()
{
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (output != nullptr && output != INVALID_HANDLE_VALUE) {
        return;  // a pipe or file the caller gave
    }
    if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
        [[maybe_unused]] FILE* reopened = std::freopen("CONOUT$", "w", stdout);
    }
}

}  // namespace tarrowind
