#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "operations/module_settings.h"

namespace tarrowind {

// The file a module's settings are saved in: one JSON object naming what it is, the module it came from
// and every value of the configuration form, secrets included (the DDNS password and the 3DES codes,
// which a replacement module needs), never the login. Files written by a later program may carry more
// keys; a later format version is refused rather than half understood.
inline constexpr const char* kSettingsBackupFormat = "Tarrowind module settings";
inline constexpr int kSettingsBackupVersion = 1;
// A file is a few hundred bytes; anything much larger is no such file.
inline constexpr std::size_t kMaxSettingsBackupBytes = 64u * 1024u;
// Longer than any value a module's page holds.
inline constexpr std::size_t kMaxSettingsBackupText = 1024;

struct SettingsBackup {
    std::string mac;      // the module's hardware address, "02:00:5E:00:00:01"
    std::string model;
    std::string version;  // the firmware version the module reported in the search
    std::string name;     // the name the module reported in the search
    std::string savedAt;  // UTC, "2026-12-10T10:48:48Z"
    // The configuration form's values (machine name to device port) and, shown only, the Ethernet and
    // controller versions; the target and the login fields stay empty.
    ModuleSettings settings;
};

enum class BackupReadError {
    None,
    TooLarge,      // more than kMaxSettingsBackupBytes
    NotJson,       // not a JSON object (or nested deeper than the format ever is)
    NotBackup,     // no format marker of a settings file
    NewerFormat,   // a format version this program does not know
    MissingValue,  // `field` is missing
    BadValue,      // `field` holds a value of the wrong type or out of its range
};

struct BackupRead {
    BackupReadError error = BackupReadError::None;
    std::string field;  // for MissingValue and BadValue
    SettingsBackup backup;
};

// One English sentence, naming the field at fault.
std::string DescribeBackupReadError(const BackupRead& read);

// The file's text, or nothing when a text read from the module is no valid UTF-8 and so cannot be saved
// faithfully.
std::optional<std::string> SettingsBackupText(const SettingsBackup& backup);
// Reads a file's bytes; nothing in them is trusted.
BackupRead ReadSettingsBackup(std::string_view bytes);

// "02-00-5E-00-00-01.json": from the MAC's bytes, never from a text the module sent.
std::string SettingsBackupFileName(const std::array<std::uint8_t, 6>& mac);
// "2026-12-10T10:48:48Z".
std::string UtcTimestamp(std::chrono::system_clock::time_point when);

}  // namespace tarrowind
