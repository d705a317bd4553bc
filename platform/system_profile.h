#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarrowind {

// Settings that other programs of this machine keep, read only. Texts are UTF-8.

// The value `name` of the key HKEY_LOCAL_MACHINE\software\<company>\<application>\<section> in the 64-bit
// view of the registry; nothing when it is missing, is no text, or the system has no registry.
std::optional<std::string> MachineSetting(const std::string& company, const std::string& application,
                                          const std::string& section, const std::string& name);

// Folders that hold other programs' settings files, in the order to look: $XDG_CONFIG_HOME (default
// ~/.config), then each of $XDG_CONFIG_DIRS (default /etc/xdg). None where the registry holds them.
std::vector<std::string> SettingsFolders();

}  // namespace tarrowind
