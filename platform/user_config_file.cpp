#include "platform/user_config_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/process_environment.h"

namespace tarrowind {
namespace {

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
    int get() const { return m_fd; }
    bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

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

std::string Folder(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the folder and its missing parents; the ones made are the owner's only.
bool MakeFolders(const std::string& folder)
{
    struct stat info{};
    if (::stat(folder.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode);
    }
    if (folder != Folder(folder) && !MakeFolders(Folder(folder))) {
        return false;
    }
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

std::optional<std::string> UserConfigFolder()
{
    std::string base = EnvironmentVariable("XDG_CONFIG_HOME").value_or("");
    if (base.empty() || base.front() != '/') {
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
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        return std::nullopt;
    }
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
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

bool UpdatePrivateFile(const std::string& path, const std::function<std::string(const std::string& present)>& update)
{
    if (!MakeFolders(Folder(path))) {
        return false;
    }
    // The program's own folder may have been made by another part of it with the usual rights.
    struct stat folder{};
    if (::stat(Folder(path).c_str(), &folder) == 0 && folder.st_uid == ::geteuid() && (folder.st_mode & 077) != 0) {
        ::chmod(Folder(path).c_str(), 0700);
    }
    // A lock file of its own: the file itself is replaced, so a lock on it would go with the old one.
    Descriptor lock(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.get() < 0) {
        return false;
    }
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    const std::string text = update(ReadPrivateFile(path).value_or(""));
    const std::string temporary = path + ".new";
    Descriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (out.get() < 0) {
        return false;
    }
    const bool written = ::fchmod(out.get(), 0600) == 0 && WriteAll(out.get(), text) && ::fsync(out.get()) == 0;
    if (!out.Close() || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    Descriptor folderFd(::open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.get() >= 0) {
        ::fsync(folderFd.get());
    }
    return true;
}

}  // namespace tarrowind
