#pragma once

#include <cstdint>
#include <string>

namespace tarrowind {

// What tells one version of a file from the next, so that a reader notices an edit or a replacement
// even within the same second.
struct FileStamp {
    bool exists = false;
    bool regular = false;  // a plain file, not a folder or device
    std::uint64_t volume = 0;
    std::uint64_t fileId = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;

    // `path` is UTF-8.
    static FileStamp Of(const std::string& path);
    bool operator==(const FileStamp&) const = default;
};

inline bool IsRegularFile(const std::string& path)
{
    return FileStamp::Of(path).regular;
}

}  // namespace tarrowind
