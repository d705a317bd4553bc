#include "platform/private_file.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace tarrowind {
namespace {

class Handle {
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle()
    {
        if (m_h != INVALID_HANDLE_VALUE && m_h != nullptr) {
            ::CloseHandle(m_h);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return m_h; }
    bool Valid() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }

private:
    HANDLE m_h;
};

std::wstring Variable(const wchar_t* name)
{
    wchar_t buffer[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, MAX_PATH);
    return n == 0 || n >= MAX_PATH ? std::wstring() : std::wstring(buffer, n);
}

std::optional<std::string> ReadAll(const std::wstring& path)
{
    Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return ::GetLastError() == ERROR_FILE_NOT_FOUND ? std::optional<std::string>("") : std::nullopt;
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) {
            return std::nullopt;
        }
        if (read == 0) {
            return text;
        }
        text.append(buffer, read);
    }
}

}  // namespace

std::string PrivateRuntimeDirectory()
{
    // The local application data folder is the user's own; the temporary folder serves when it is unset.
    std::wstring base = Variable(L"LOCALAPPDATA");
    if (base.empty()) {
        base = Variable(L"TEMP");
    }
    if (base.empty()) {
        return "";
    }
    const std::wstring folder = base + L"\\Tarrowind";
    if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        return "";
    }
    return Utf8FromWide(folder);
}

bool ChangeLockedFile(const std::string& path,
                      const std::function<std::optional<std::string>(const std::string&)>& change)
{
    const std::wstring wide = WideFromUtf8(path);
    Handle lock(::CreateFileW((wide + L".lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!lock.Valid()) {
        return false;
    }
    OVERLAPPED whole{};
    if (!::LockFileEx(lock.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        return false;
    }
    struct Unlock {
        HANDLE h;
        ~Unlock()
        {
            OVERLAPPED o{};
            ::UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &o);
        }
    } unlock{lock.Get()};
    const std::optional<std::string> text = ReadAll(wide);
    if (!text) {
        return false;
    }
    const std::optional<std::string> changed = change(*text);
    if (!changed || *changed == *text) {
        return true;
    }
    const std::wstring temporary = wide + L"." + std::to_wstring(::GetCurrentProcessId()) + L".new";
    {
        Handle out(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
        if (!out.Valid()) {
            return false;
        }
        DWORD written = 0;
        if (!::WriteFile(out.Get(), changed->data(), static_cast<DWORD>(changed->size()), &written, nullptr) ||
            written != changed->size()) {
            ::DeleteFileW(temporary.c_str());
            return false;
        }
    }
    if (!::MoveFileExW(temporary.c_str(), wide.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

std::uint64_t CurrentProcessId()
{
    return ::GetCurrentProcessId();
}

bool ProcessIsRunning(std::uint64_t processId)
{
    if (processId == 0 || processId > MAXDWORD) {
        return false;
    }
    Handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(processId)));
    if (!process.Valid()) {
        return ::GetLastError() == ERROR_ACCESS_DENIED;  // another user's
    }
    DWORD code = 0;
    return ::GetExitCodeProcess(process.Get(), &code) && code == STILL_ACTIVE;
}

std::uint64_t NetworkNamespaceId()
{
    return 0;
}

}  // namespace tarrowind
