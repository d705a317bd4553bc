#include "platform/private_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/process_environment.h"

namespace tarrowind {
namespace {

// A descriptor closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }
    // Closes now, so that a failing close (the last write's error) is seen.
    bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

std::string Folder(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the folder and its missing parents, the ones made the owner's only. A folder of ours that others
// may enter (made by another part of the program with the usual rights) is closed to them.
bool MakeOwnFolder(const std::string& folder)
{
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        if (folder != Folder(folder) && !MakeOwnFolder(Folder(folder))) {
            return false;
        }
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (::stat(folder.c_str(), &st) != 0) {
            return false;
        }
    }
    if (!S_ISDIR(st.st_mode)) {
        return false;
    }
    // Only the folder itself: where a link stands in its place, the folder it leads to is left alone.
    if (::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) != 0) {
        ::chmod(folder.c_str(), 0700);
    }
    return true;
}

// The folder is this user's alone: a real folder (no link), owned by the user, closed to others.
std::string OwnFolder(const std::string& path)
{
    if (!MakeOwnFolder(path)) {
        return "";
    }
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0
               ? path
               : "";
}

bool WriteAll(int fd, const std::string& text)
{
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The file's text; nothing when it cannot be read, or when it does not exist and `missingIsEmpty` is
// false.
std::optional<std::string> ReadAll(const std::string& path, bool missingIsEmpty)
{
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd.Get() < 0) {
        return errno == ENOENT && missingIsEmpty ? std::optional<std::string>("") : std::nullopt;
    }
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

std::string PrivateRuntimeDirectory()
{
    // The runtime folder is the user's and goes with the session; a root run under sudo may still see
    // another user's, which it must not use.
    if (const std::string runtime = EnvironmentVariable("XDG_RUNTIME_DIR").value_or(""); runtime.starts_with('/')) {
        struct stat st {};
        if (::stat(runtime.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()) {
            if (std::string folder = OwnFolder(runtime + "/tarrowind"); !folder.empty()) {
                return folder;
            }
        }
    }
    const std::string temp = EnvironmentVariable("TMPDIR").value_or("");
    return OwnFolder((temp.starts_with('/') ? temp : "/tmp") + "/tarrowind-" + std::to_string(::geteuid()));
}

std::optional<std::string> UserConfigFolder()
{
    std::string base = EnvironmentVariable("XDG_CONFIG_HOME").value_or("");
    if (!base.starts_with('/')) {
        const std::string home = EnvironmentVariable("HOME").value_or("");
        if (home.empty()) {
            return std::nullopt;
        }
        base = home + "/.config";
    }
    return base + "/Tarrowind";
}

std::optional<std::string> ReadPrivateFile(const std::string& path)
{
    return ReadAll(path, false);
}

bool ChangeLockedFile(const std::string& path,
                      const std::function<std::optional<std::string>(const std::string&)>& change, Durability durability)
{
    const std::string folder = Folder(path);
    if (!MakeOwnFolder(folder)) {
        return false;
    }
    // The lock is on a file of its own: the file itself is replaced by a rename, so a lock on it would go
    // with the old one.
    Descriptor lock(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (lock.Get() < 0) {
        return false;
    }
    while (::flock(lock.Get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    const std::optional<std::string> text = ReadAll(path, true);
    if (!text) {
        return false;  // what cannot be read is not replaced by what a change made of nothing
    }
    const std::optional<std::string> changed = change(*text);
    if (!changed || *changed == *text) {
        return true;
    }
    const bool sync = durability == Durability::kSurvivesRestart;
    const std::string temporary = path + "." + std::to_string(::getpid()) + ".new";
    Descriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (out.Get() < 0) {
        return false;
    }
    // A temporary file left by a process that died has the rights it was made with.
    const bool written = ::fchmod(out.Get(), 0600) == 0 && WriteAll(out.Get(), *changed) && (!sync || ::fsync(out.Get()) == 0);
    if (!out.Close() || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    if (sync) {
        // The rename itself reaches the disk with the folder.
        Descriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folderFd.Get() >= 0) {
            ::fsync(folderFd.Get());
        }
    }
    return true;  // the lock goes with its descriptor
}

bool WriteOwnerOnlyFile(const std::string& path, const std::string& text)
{
    static std::atomic<std::uint32_t> serial{0};
    const std::string temporary =
        path + "." + std::to_string(::getpid()) + "." + std::to_string(serial.fetch_add(1)) + ".new";
    // O_EXCL: a file or link planted under the temporary name is never written through.
    Descriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (out.Get() < 0) {
        return false;
    }
    // The umask may only take rights away, and an ACL default may add some: set them outright.
    const bool written = ::fchmod(out.Get(), 0600) == 0 && WriteAll(out.Get(), text) && ::fsync(out.Get()) == 0;
    if (!out.Close() || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    Descriptor folderFd(::open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.Get() >= 0) {
        ::fsync(folderFd.Get());
    }
    return true;
}

std::uint64_t CurrentProcessId()
{
    return static_cast<std::uint64_t>(::getpid());
}

bool ProcessIsRunning(std::uint64_t processId)
{
    if (processId == 0 || processId > static_cast<std::uint64_t>(INT32_MAX)) {
        return false;
    }
    if (::kill(static_cast<pid_t>(processId), 0) != 0 && errno != EPERM) {
        return false;
    }
    // A killed process that its parent has not waited for yet is gone all the same.
    const std::optional<std::string> stat = ReadAll("/proc/" + std::to_string(processId) + "/stat", false);
    const std::size_t end = stat ? stat->rfind(')') : std::string::npos;
    return end == std::string::npos || end + 2 >= stat->size() || (*stat)[end + 2] != 'Z';
}

std::uint64_t NetworkNamespaceId()
{
    struct stat st {};
    return ::stat("/proc/self/ns/net", &st) == 0 ? static_cast<std::uint64_t>(st.st_ino) : 0;
}

}  // namespace tarrowind
