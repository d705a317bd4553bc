#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tarrowind {

// A small file of the user's own, shared by the program's processes: readable by its owner only, in a
// folder of the owner only, never half written. Paths are UTF-8.

// This user's folder for the program's own files: $XDG_CONFIG_HOME/Tarrowind (default ~/.config) or
// %APPDATA%\Tarrowind; nothing when neither can be told.
std::optional<std::string> UserConfigFolder();
// The whole file; nothing when it is missing or cannot be read.
std::optional<std::string> ReadPrivateFile(const std::string& path);
// Replaces the file by what `update` makes of its present text (empty when missing), under an exclusive
// lock that every process updating it takes, so that no update is lost to another. The new text goes
// to a temporary file beside it, flushed to the disk, then renamed over it. Makes the folder when
// missing. False when a step failed; the old file is then unchanged.
bool UpdatePrivateFile(const std::string& path, const std::function<std::string(const std::string& present)>& update);

}  // namespace tarrowind
