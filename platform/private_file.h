#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tarrowind {

// Small state files that only their owner may read, shared by the user's processes of this program.
// Paths are UTF-8.

// The user's own runtime folder for the program, created owner-only when missing: $XDG_RUNTIME_DIR/tarrowind
// (or a per-user folder in the temporary folder) on Linux, %LOCALAPPDATA%\Tarrowind on Windows. "" when
// no folder can be had that belongs to this user alone.
std::string PrivateRuntimeDirectory();
// This user's folder for the program's lasting files: $XDG_CONFIG_HOME/Tarrowind (default ~/.config) or
// %APPDATA%\Tarrowind; nothing when neither can be told. Made by the first change of a file in it.
std::optional<std::string> UserConfigFolder();

// The whole file; nothing when it is missing or cannot be read.
std::optional<std::string> ReadPrivateFile(const std::string& path);

// Whether a change must be on the disk before it counts; state that goes with the system's restart
// need not wait for the disk.
enum class Durability { kSurvivesRestart, kUntilRestart };

// Runs `change` on the text of the file at `path` ("" when it does not exist yet) while holding an
// exclusive lock, on a lock file beside it, that every process changing the file through here respects.
// When `change` returns a text other than the present one, it goes to a temporary file beside the file
// and is renamed over it, owner-only: a reader sees either the old text or the new. The file's folder is
// made when missing and kept the owner's only. False when the file could not be locked, read or
// replaced; the old file then stands.
bool ChangeLockedFile(const std::string& path, const std::function<std::optional<std::string>(const std::string&)>& change,
                      Durability durability = Durability::kSurvivesRestart);

// Writes `text` as the whole file at `path`, readable by its owner only, through a temporary file beside
// it that is flushed to the disk and renamed over it: a crash leaves the old file or the new one, never
// half of one. The folder must exist; its rights are left as they are. False, with no file left behind,
// when any step failed.
bool WriteOwnerOnlyFile(const std::string& path, const std::string& text);

std::uint64_t CurrentProcessId();
// False once the process has ended (a process of another user still counts as running).
bool ProcessIsRunning(std::uint64_t processId);
// Tells the process's network namespace apart from others (Linux); 0 where the system has one table.
std::uint64_t NetworkNamespaceId();

}  // namespace tarrowind
