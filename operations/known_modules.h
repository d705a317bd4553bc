#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/http_client.h"

namespace tarrowind {

// What is remembered of a module from its first contact on: whether it speaks HTTPS and, when it does,
// its key. Never a secret.
struct KnownModule {
    bool https = false;
    KeyFingerprint key{};   // with https
    std::string firstSeen;  // UTC, "2026-12-10T05:00:23Z": when this key (or plain HTTP) was first seen

    bool operator==(const KnownModule&) const = default;
};

// Modules by MAC ("02:11:2A:0A:0B:0C").
using KnownModuleMap = std::map<std::string, KnownModule>;

// The file's lines: MAC, 1 or 0 (HTTPS), the key's SHA-256 in hex or "-", first seen. Lines that are not
// of this form are passed over; of two lines for one MAC the first stands.
KnownModuleMap ParseKnownModules(std::string_view text);
std::string FormatKnownModules(const KnownModuleMap& modules);
// "02:11:2A:0A:0B:0C" from the six bytes; a MAC text in either case, with ':' or '-', normalised; "" when
// it is none.
std::string MacKey(const std::array<std::uint8_t, 6>& mac);
std::string NormalisedMac(std::string_view text);
std::string FingerprintHex(const KeyFingerprint& key);
// The present time as the file writes it.
std::string UtcNow();

// The modules this user's programs have met, in one file that the window and the command line share
// (each update re-reads it under a lock, so neither loses the other's entries). Thread-safe.
class KnownModules {
public:
    // `path` empty: kept in memory only.
    explicit KnownModules(std::string path);
    // $XDG_CONFIG_HOME/Tarrowind/known-modules, %APPDATA%\Tarrowind\known-modules; "" when there is no
    // such folder.
    static std::string UserFilePath();

    std::optional<KnownModule> Find(const std::string& mac);
    // A first contact: the module is remembered as met now, unless another contact came first (then that
    // one stands). A module known to speak plain HTTP that now shows a key is remembered with it.
    KnownModule Learn(const std::string& mac, bool https, const std::optional<KeyFingerprint>& key);
    // What a module showed instead of what it is known by: a key, or nothing for plain HTTP. Kept in
    // memory, for the user to see and to take.
    void NoteRefused(const std::string& mac, const std::optional<KeyFingerprint>& shown);
    // The module passed the check again.
    void ClearRefused(const std::string& mac);
    // Whether the module's last contact was refused, and what it showed then.
    std::optional<std::optional<KeyFingerprint>> Refused(const std::string& mac) const;
    // The user's decision: what the module showed when refused becomes what it is known by, first seen
    // now. False when nothing was refused.
    bool TakeRefused(const std::string& mac);
    // The module may show a new key (or plain HTTP) and it is taken when it does; for the command line's
    // choice only, never for a contact the program makes by itself.
    void AllowChange(const std::string& mac);
    bool ChangeAllowed(const std::string& mac) const;
    void WithdrawAllowance(const std::string& mac);
    // Takes what the module shows now in place of its record (refused before, or allowed); calls
    // onReplaced.
    void Replace(const std::string& mac, bool https, const std::optional<KeyFingerprint>& key);

    // Told of every replacement: the MAC, the record before (if any) and after. Set before any request.
    std::function<void(const std::string& mac, const std::optional<KnownModule>& before, const KnownModule& after)>
        onReplaced;

private:
    // Applies `change` to the file's present entries under its lock and keeps the result.
    void Update(const std::function<void(KnownModuleMap&)>& change);
    void RefreshLocked();
    void WritePending();

    const std::string m_path;
    std::mutex m_writeLock;  // one write of the file at a time; taken before m_lock
    mutable std::mutex m_lock;
    KnownModuleMap m_modules;
    KnownModuleMap m_pending;  // first contacts not written yet
    std::optional<std::filesystem::file_time_type> m_readStamp;
    std::uintmax_t m_readSize = 0;
    std::map<std::string, std::optional<KeyFingerprint>> m_refused;
    std::set<std::string> m_allowed;
};

}  // namespace tarrowind
