#include "platform/system_profile.h"

#include <algorithm>

#include "platform/process_environment.h"

namespace tarrowind {

std::optional<std::string> MachineSetting(const std::string&, const std::string&, const std::string&,
                                          const std::string&)
{
    return std::nullopt;
}

std::vector<std::string> SettingsFolders()
{
    std::vector<std::string> folders;
    std::string home = EnvironmentVariable("XDG_CONFIG_HOME").value_or("");
    const std::string user = EnvironmentVariable("HOME").value_or("");
    if (home.empty() && !user.empty()) {
        home = user + "/.config";
    }
    if (!home.empty()) {
        folders.push_back(home);
    }
    std::string dirs = EnvironmentVariable("XDG_CONFIG_DIRS").value_or("");
    if (dirs.empty()) {
        dirs = "/etc/xdg";
    }
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        if (end > start) {
            folders.push_back(dirs.substr(start, end - start));
        }
        start = end + 1;
    }
    return folders;
}

}  // namespace tarrowind
