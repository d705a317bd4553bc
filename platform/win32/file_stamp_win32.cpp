#include "platform/file_stamp.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace tarrowind {
namespace {

std::int64_t Ns(const FILETIME& t)
{
    const std::uint64_t ticks = (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    return static_cast<std::int64_t>(ticks) * 100;  // 100 ns units
}

}  // namespace

FileStamp FileStamp::Of(const std::string& path)
{
    FileStamp stamp;
    // Opened without any access right, only to read its attributes: never blocks a writer.
    const HANDLE file = ::CreateFileW(WideFromUtf8(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return stamp;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(file, &info)) {
        stamp.exists = true;
        stamp.regular = (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
        stamp.volume = info.dwVolumeSerialNumber;
        stamp.fileId = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        stamp.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        stamp.modifiedNs = Ns(info.ftLastWriteTime);
        stamp.changedNs = Ns(info.ftCreationTime);
    }
    ::CloseHandle(file);
    return stamp;
}

}  // namespace tarrowind
