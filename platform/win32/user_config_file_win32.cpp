#include "platform/user_config_file.h"

#include <windows.h>

#include "platform/process_environment.h"
#include "platform/win32/wide_text.h"

namespace tarrowind {
namespace {

class File {
public:
    explicit File(HANDLE h) : m_h(h) {}
    ~File()
    {
        if (m_h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(m_h);
        }
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    HANDLE get() const { return m_h; }
    bool Close()
    {
        const HANDLE h = m_h;
        m_h = INVALID_HANDLE_VALUE;
        return ::CloseHandle(h) != 0;
    }

private:
    HANDLE m_h;
};

std::wstring Folder(const std::wstring& path)
{
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

bool MakeFolders(const std::wstring& folder)
{
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    const std::wstring parent = Folder(folder);
    if (parent != folder && parent.size() > 3 && !MakeFolders(parent)) {
        return false;
    }
    // Under %APPDATA% the folder inherits the profile's owner-only rights.
    return ::CreateDirectoryW(folder.c_str(), nullptr) != 0 || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

std::optional<std::string> UserConfigFolder()
{
    const std::string base = EnvironmentVariable("APPDATA").value_or("");
    if (base.empty()) {
        return std::nullopt;
    }
    return base + "\\Tarrowind";
}

std::optional<std::string> ReadPrivateFile(const std::string& path)
{
    const File file(::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::string text;
    char buffer[8192];
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) {
            return std::nullopt;
        }
        if (read == 0) {
            return text;
        }
        text.append(buffer, read);
    }
}

bool UpdatePrivateFile(const std::string& path, const std::function<std::string(const std::string& present)>& update)
{
    const std::wstring wide = WideFromUtf8(path);
    if (!MakeFolders(Folder(wide))) {
        return false;
    }
    // A lock file of its own: the file itself is replaced, so a lock on it would go with the old one.
    const File lock(::CreateFileW((wide + L".lock").c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (lock.get() == INVALID_HANDLE_VALUE) {
        return false;
    }
    OVERLAPPED whole{};
    if (!::LockFileEx(lock.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        return false;
    }
    const std::string text = update(ReadPrivateFile(path).value_or(""));
    const std::wstring temporary = wide + L".new";
    bool done = false;
    {
        File out(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (out.get() != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            done = ::WriteFile(out.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                   written == text.size() && ::FlushFileBuffers(out.get());
            done = out.Close() && done;
        }
    }
    done = done && ::MoveFileExW(temporary.c_str(), wide.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!done) {
        ::DeleteFileW(temporary.c_str());
    }
    ::UnlockFileEx(lock.get(), 0, MAXDWORD, MAXDWORD, &whole);
    return done;
}

}  // namespace tarrowind
