#pragma once

#include <cstdint>
#include <string>

#include "discovery/device_record.h"
#include "localisation/ini_reader.h"

namespace tarrowind {

// Reads string values from an ini file, or from the management software's settings when made with
// a company name: the registry where there is one, else an ini file "<company>/<application>.ini" in
// the XDG config folders.
class ProfileReader {
public:
    ProfileReader(std::string company, std::string application)
        : m_company(std::move(company)), m_application(std::move(application))
    {
    }
    std::string GetString(const std::string& section, const std::string& valueName,
                          const std::string& fallback = {}) const;

private:
    std::string m_company;      // empty: ini mode
    std::string m_application;  // ini mode: the file's path
};

// The management software's firmware folder: its BaseDirectory with "DCFirmware" and a separator
// appended, or "".
std::string LoadFirmwareFolder();

// Reads the list file's entry for `model`. Outputs whose key is empty keep the caller's values.
bool ReadFirmwareInfo(const std::string& folder, const std::string& model, std::string& version,
                      std::string& date, std::string& file, std::string& file2);
// The folder's list file, read once; empty without a folder or a readable list.
IniReader ReadFirmwareList(const std::string& folder);
// The same from a list already read; `folder` is joined to the file names.
bool ReadFirmwareInfo(const IniReader& list, const std::string& folder, const std::string& model,
                      std::string& version, std::string& date, std::string& file, std::string& file2);

// 1 when the list names newer firmware (the file fields are set, when given), 0 when nothing newer or
// not offered for the module, -1 when the list cannot be used.
std::int32_t CheckLatestFirmware(const std::string& folder, const std::string& model, const std::string& version,
                                 std::string* firmwareFile, std::string* firmwareFile2);
// With `listedVersion`, a newer firmware's version as the module will report it once it runs it.
std::int32_t CheckLatestFirmware(const IniReader& list, const std::string& folder, const std::string& model,
                                 const std::string& version, std::string* firmwareFile, std::string* firmwareFile2,
                                 std::string* listedVersion = nullptr);
// The list's verdict on a module's firmware without the rule that keeps old controllers from updates:
// 1 newer listed (the file fields set, when given), 0 not newer, -1 not listed or no list.
// `listedVersion` receives the list's version as the module would report it, unless -1.
std::int32_t CompareWithList(const IniReader& list, const std::string& folder, const std::string& model,
                             const std::string& version, std::string& listedVersion,
                             std::string* firmwareFile = nullptr, std::string* firmwareFile2 = nullptr);

// Whether a module logged in again after an action runs the firmware it was to get: after an update to
// a listed version, that version (numbers compared); after an update from a file, any version other than
// the one before. True after every other action.
bool FirmwareUpdateTook(const DeviceRecord& record);

bool CanConfigure(const std::string& model, const std::string& version);
bool CanUpdateFirmware(const std::string& model, const std::string& version);

// "%.4d%.4d%.4d" of major, minor and patch: compared as text, it orders versions.
std::string VersionKey(std::int32_t major, std::int32_t minor, std::int32_t patch);

// The list file's name inside the firmware folder.
inline constexpr const char* kFirmwareListFile = "Tarrowind.ini";

}  // namespace tarrowind
