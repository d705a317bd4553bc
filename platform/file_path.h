#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarrowind {

// A path of the file system from the program's UTF-8 text of it, so that files with names outside the
// system's 8-bit code page open on every system.
inline std::filesystem::path PathFromUtf8(std::string_view utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace tarrowind
