#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tarrowind {

// Small state files that only their owner may read, shared by the user's processes of this program.

// The user's own runtime folder for the program, created owner-only when missing: $XDG_RUNTIME_DIR/tarrowind
// (or a per-user folder in the temporary folder) on Linux, %LOCALAPPDATA%\Tarrowind on Windows. "" when
// no folder can be had that belongs to this user alone.
std::string PrivateRuntimeDirectory();

// Runs `change` on the text of the file at `path` ("" when it does not exist yet) while holding an
// exclusive lock that every process changing the file through here respects. When `change` returns a
// text, the file is replaced by it at once, owner-only: a reader sees either the old text or the new.
// False when the file could not be locked, read or replaced.
bool ChangeLockedFile(const std::string& path, const std::function<std::optional<std::string>(const std::string&)>& change);

std::uint64_t CurrentProcessId();
// False once the process has ended (a process of another user still counts as running).
bool ProcessIsRunning(std::uint64_t processId);
// Tells the process's network namespace apart from others (Linux); 0 where the system has one table.
std::uint64_t NetworkNamespaceId();

}  // namespace tarrowind
