#include "commands/firmware_glance.h"

#include "localisation/string_table.h"
#include "operations/firmware_folder.h"

namespace tarrowind {

FirmwareGlance::FirmwareGlance(std::string folder) : m_folder(std::move(folder)), m_list(ReadFirmwareList(m_folder))
{
}

void FirmwareGlance::Apply(DeviceRecord& record, bool loggedInOnly) const
{
    record.firmwareStanding = FirmwareStanding::Unknown;
    record.latestVersion.clear();
    const bool web = record.kind == ModuleKind::Web || record.kind == ModuleKind::WebDactyl;
    if (m_folder.empty() || !web || (loggedInOnly && !IsLoggedInWebModule(record))) {
        return;
    }
    // Compared without the rule that keeps old controllers from updates to latest: such a module is
    // still not on the newest firmware, whatever the command will offer it.
    switch (CompareWithList(m_list, m_folder, record.model, record.version, record.latestVersion)) {
    case 1: record.firmwareStanding = FirmwareStanding::UpdateAvailable; break;
    case 0: record.firmwareStanding = FirmwareStanding::UpToDate; break;
    default: record.firmwareStanding = FirmwareStanding::NotListed; break;
    }
}

bool IsLoggedInWebModule(const DeviceRecord& record)
{
    return (record.kind == ModuleKind::Web || record.kind == ModuleKind::WebDactyl) &&
           record.status >= kStatusLoginSuccessfully && record.status != kStatusNotSupported;
}

std::string FirmwareStandingText(const DeviceRecord& record)
{
    switch (record.firmwareStanding) {
    case FirmwareStanding::UpToDate: return Text("ORB_IDS_FIRMWARE_UP_TO_DATE");
    case FirmwareStanding::NotListed: return Text("ORB_IDS_FIRMWARE_NOT_LISTED");
    case FirmwareStanding::UpdateAvailable: {
        std::string text = Text("ORB_IDS_FIRMWARE_AVAILABLE");
        const auto at = text.find("{version}");
        if (at != std::string::npos) {
            text.replace(at, 9, record.latestVersion);
        }
        return text;
    }
    case FirmwareStanding::Unknown: break;
    }
    return {};
}

const char* UpdateAvailableText(FirmwareStanding standing)
{
    switch (standing) {
    case FirmwareStanding::UpToDate: return "no";
    case FirmwareStanding::UpdateAvailable: return "yes";
    case FirmwareStanding::NotListed: return "not listed";
    case FirmwareStanding::Unknown: break;
    }
    return "";
}

}  // namespace tarrowind
