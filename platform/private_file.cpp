#include "platform/private_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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

private:
    int m_fd;
};

// The folder is this user's alone: a real folder (no link), owned by the user, closed to others.
bool IsOwnFolder(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

std::string OwnFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return "";
    }
    return IsOwnFolder(path) ? path : "";
}

bool WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
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

std::optional<std::string> ReadAll(const std::string& path)
{
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd.Get() < 0) {
        return errno == ENOENT ? std::optional<std::string>("") : std::nullopt;
    }
    std::string text;
    char buffer[4096];
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
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/') {
        struct stat st {};
        if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()) {
            if (std::string folder = OwnFolder(std::string(runtime) + "/tarrowind"); !folder.empty()) {
                return folder;
            }
        }
    }
    const char* temp = std::getenv("TMPDIR");
    const std::string base = temp != nullptr && temp[0] == '/' ? temp : "/tmp";
    return OwnFolder(base + "/tarrowind-" + std::to_string(::geteuid()));
}

bool ChangeLockedFile(const std::string& path,
                      const std::function<std::optional<std::string>(const std::string&)>& change)
{
    // The lock is on a file of its own: the state file itself is replaced by a rename.
    Descriptor lock(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (lock.Get() < 0) {
        return false;
    }
    while (::flock(lock.Get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    const std::optional<std::string> text = ReadAll(path);
    if (!text) {
        return false;
    }
    const std::optional<std::string> changed = change(*text);
    if (!changed || *changed == *text) {
        return true;
    }
    // Renamed over the old one, so that no process reads half a file. Not synced to the disk: the
    // neighbour entries it lists do not outlive the system's restart either.
    const std::string temporary = path + "." + std::to_string(::getpid()) + ".new";
    {
        Descriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (out.Get() < 0) {
            return false;
        }
        if (!WriteAll(out.Get(), *changed)) {
            ::unlink(temporary.c_str());
            return false;
        }
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;  // the lock goes with its descriptor
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
    const std::optional<std::string> stat = ReadAll("/proc/" + std::to_string(processId) + "/stat");
    const std::size_t end = stat ? stat->rfind(')') : std::string::npos;
    return end == std::string::npos || end + 2 >= stat->size() || (*stat)[end + 2] != 'Z';
}

std::uint64_t NetworkNamespaceId()
{
    struct stat st {};
    return ::stat("/proc/self/ns/net", &st) == 0 ? static_cast<std::uint64_t>(st.st_ino) : 0;
}

}  // namespace tarrowind
