#include "platform/process_environment.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace tarrowind {

std::string ProgramDirectory()
{
    std::string buffer(PATH_MAX, '\0');
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
        return ".";
    }
    buffer.resize(static_cast<std::size_t>(length));
    const auto slash = buffer.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : buffer.substr(0, slash);
}

char PathSeparator()
{
    return '/';
}

std::optional<std::string> EnvironmentVariable(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    return value == nullptr ? std::nullopt : std::optional<std::string>(value);
}

std::string BrandFilePath()
{
    return "/etc/OrbBrand.ini";
}

std::optional<std::uint16_t> SystemUiLanguageId()
{
    return std::nullopt;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

void UseUtf8Console() {}

void WriteToParentConsole() {}

}  // namespace tarrowind
