#include "platform/file_stamp.h"

#include <sys/stat.h>

namespace tarrowind {

FileStamp FileStamp::Of(const std::string& path)
{
    FileStamp stamp;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return stamp;
    }
    const auto ns = [](const timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
    stamp.exists = true;
    stamp.regular = S_ISREG(info.st_mode);
    stamp.volume = info.st_dev;
    stamp.fileId = info.st_ino;
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.modifiedNs = ns(info.st_mtim);
    stamp.changedNs = ns(info.st_ctim);
    return stamp;
}

}  // namespace tarrowind
