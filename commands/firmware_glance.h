#pragma once

#include <string>

#include "discovery/device_record.h"
#include "localisation/ini_reader.h"

namespace tarrowind {

// Whether a module's firmware is the newest its model has in the firmware folder, read from the list
// once for many modules.
class FirmwareGlance {
public:
    FirmwareGlance() = default;
    // Reads the folder's list now; an empty folder means none is known.
    explicit FirmwareGlance(std::string folder);

    bool HasFolder() const { return !m_folder.empty(); }
    // Sets the record's standing and latest version; Unknown without a folder, for a module that takes
    // no firmware from the folder (readers, the long-reply kind) and, with `loggedInOnly`, for a module
    // not logged in.
    void Apply(DeviceRecord& record, bool loggedInOnly) const;

private:
    std::string m_folder;
    IniReader m_list;
};

// A web module whose login was taken, as the commands that write to it require.
bool IsLoggedInWebModule(const DeviceRecord& record);

// The standing as the list shows it, in the user's language: "Up to date", "V3.21.0-1 available",
// "Not listed"; empty for Unknown.
std::string FirmwareStandingText(const DeviceRecord& record);
// The same without translation for exports: "yes", "no", "not listed" or empty.
const char* UpdateAvailableText(FirmwareStanding standing);

}  // namespace tarrowind
