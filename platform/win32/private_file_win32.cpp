#include "platform/private_file.h"

#include <windows.h>
#include <sddl.h>

#include <atomic>
#include <vector>

#include "platform/process_environment.h"
#include "platform/win32/wide_text.h"

namespace tarrowind {
namespace {

class Handle {
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle()
    {
        if (Valid()) {
            ::CloseHandle(m_h);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return m_h; }
    bool Valid() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
    // Closes now, so that a failing close is seen.
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

// Makes the folder and its missing parents. Under the user's profile a folder inherits its owner-only
// rights.
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
    return ::CreateDirectoryW(folder.c_str(), nullptr) != 0 || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

// The file's text; nothing when it cannot be read, or when it does not exist and `missingIsEmpty` is
// false.
std::optional<std::string> ReadAll(const std::wstring& path, bool missingIsEmpty)
{
    Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        const DWORD error = ::GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return missing && missingIsEmpty ? std::optional<std::string>("") : std::nullopt;
    }
    std::string text;
    char buffer[8192];
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

// A security descriptor whose list grants the process's user full access and nobody else any, not
// inherited from the folder; freed with LocalFree.
PSECURITY_DESCRIPTOR OwnerOnlyDescriptor()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return nullptr;
    }
    Handle tokenHandle(token);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        return nullptr;
    }
    LPWSTR sid = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
        return nullptr;
    }
    const std::wstring sddl = L"D:P(A;;FA;;;" + std::wstring(sid) + L")";
    ::LocalFree(sid);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        return nullptr;
    }
    return descriptor;
}

}  // namespace

bool WriteOwnerOnlyFile(const std::string& path, const std::string& text)
{
    static std::atomic<unsigned> serial{0};
    const std::wstring wide = WideFromUtf8(path);
    const std::wstring temporary =
        wide + L"." + std::to_wstring(::GetCurrentProcessId()) + L"." + std::to_wstring(serial.fetch_add(1)) + L".new";
    const PSECURITY_DESCRIPTOR descriptor = OwnerOnlyDescriptor();
    if (descriptor == nullptr) {
        return false;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    bool done = false;
    {
        Handle out(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
        ::LocalFree(descriptor);
        if (!out.Valid()) {
            return false;
        }
        DWORD written = 0;
        done = ::WriteFile(out.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
               written == text.size() && ::FlushFileBuffers(out.Get());
        done = out.Close() && done;
    }
    // The rename keeps the temporary file's own rights; a scanner holding the old file is waited for.
    for (int attempt = 0; done; ++attempt) {
        if (::MoveFileExW(temporary.c_str(), wide.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD error = ::GetLastError();
        done = attempt < 50 && (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION);
        if (done) {
            ::Sleep(10);
        }
    }
    ::DeleteFileW(temporary.c_str());
    return false;
}

std::string PrivateRuntimeDirectory()
{
    // The local application data folder is the user's own; the temporary folder serves when it is unset.
    std::string base = EnvironmentVariable("LOCALAPPDATA").value_or("");
    if (base.empty()) {
        base = EnvironmentVariable("TEMP").value_or("");
    }
    if (base.empty()) {
        return "";
    }
    const std::wstring folder = WideFromUtf8(base + "\\Tarrowind");
    if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        return "";
    }
    return Utf8FromWide(folder);
}

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
    return ReadAll(WideFromUtf8(path), false);
}

bool ChangeLockedFile(const std::string& path,
                      const std::function<std::optional<std::string>(const std::string&)>& change, Durability durability)
{
    const std::wstring wide = WideFromUtf8(path);
    if (!MakeFolders(Folder(wide))) {
        return false;
    }
    // A lock file of its own: the file itself is replaced, so a lock on it would go with the old one.
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
    const std::optional<std::string> text = ReadAll(wide, true);
    if (!text) {
        return false;  // what cannot be read is not replaced by what a change made of nothing
    }
    const std::optional<std::string> changed = change(*text);
    if (!changed || *changed == *text) {
        return true;
    }
    const bool sync = durability == Durability::kSurvivesRestart;
    const std::wstring temporary = wide + L"." + std::to_wstring(::GetCurrentProcessId()) + L".new";
    bool done = false;
    {
        Handle out(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (out.Valid()) {
            DWORD written = 0;
            done = ::WriteFile(out.Get(), changed->data(), static_cast<DWORD>(changed->size()), &written, nullptr) &&
                   written == changed->size() && (!sync || ::FlushFileBuffers(out.Get()));
            done = out.Close() && done;
        }
    }
    // A reader, a virus scanner or an indexer may hold the file for a moment: the rename is tried again.
    for (int attempt = 0; done; ++attempt) {
        if (::MoveFileExW(temporary.c_str(), wide.c_str(), MOVEFILE_REPLACE_EXISTING | (sync ? MOVEFILE_WRITE_THROUGH : 0))) {
            break;
        }
        const DWORD error = ::GetLastError();
        done = attempt < 50 && (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION);
        if (done) {
            ::Sleep(10);
        }
    }
    if (!done) {
        ::DeleteFileW(temporary.c_str());
    }
    return done;
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
