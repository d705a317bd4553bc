#include "platform/system_profile.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace tarrowind {

std::optional<std::string> MachineSetting(const std::string& company, const std::string& application,
                                          const std::string& section, const std::string& name)
{
    const std::wstring key = WideFromUtf8("software\\" + company + "\\" + application + "\\" + section);
    HKEY handle = nullptr;
    // Read access only: a normal user may read the key but not write it, and must still find the folder.
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &handle) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const std::wstring valueName = WideFromUtf8(name);
    std::optional<std::string> result;
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(handle, valueName.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        if (::RegQueryValueExW(handle, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes) ==
            ERROR_SUCCESS) {
            // The stored text need not end with a terminator; it ends at the first one there is.
            value.resize(std::min<std::size_t>(bytes / sizeof(wchar_t), value.size()));
            value.resize(std::wstring_view(value.c_str()).size());
            result = Utf8FromWide(value);
        }
    }
    ::RegCloseKey(handle);
    return result;
}

std::vector<std::string> SettingsFolders()
{
    return {};
}

}  // namespace tarrowind
