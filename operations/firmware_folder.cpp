#include "operations/firmware_folder.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "localisation/ini_reader.h"
#include "operations/page_variables.h"
#include "platform/process_environment.h"
#include "platform/system_profile.h"

namespace tarrowind {
namespace {

// Reads up to `count` numbers the way a scanf pattern of "%d" separated by literal texts does: stops
// at the first part that does not match; what was not read stays 0.
std::vector<std::int32_t> ScanNumbers(std::string_view text, std::string_view prefix,
                                      std::initializer_list<std::string_view> separators)
{
    std::vector<std::int32_t> numbers(separators.size() + 1, 0);
    if (text.substr(0, prefix.size()) != prefix) {
        return numbers;
    }
    std::size_t pos = prefix.size();
    auto separator = separators.begin();
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) {
            if (text.substr(pos, separator->size()) != *separator) {
                break;
            }
            pos += separator->size();
            ++separator;
        }
        std::size_t end = pos;
        while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) {
            ++end;
        }
        if (end < text.size() && (text[end] == '+' || text[end] == '-')) {
            ++end;
        }
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') {
            ++end;
        }
        if (!ReadDecimal(text.substr(pos, end - pos), numbers[i])) {
            break;
        }
        pos = end;
    }
    return numbers;
}

std::vector<std::int32_t> ModuleVersion(const std::string& version)
{
    return ScanNumbers(version, "V", {".", ".", "-"});
}

}  // namespace

std::string VersionKey(std::int32_t major, std::int32_t minor, std::int32_t patch)
{
    char key[40];
    std::snprintf(key, sizeof key, "%.4d%.4d%.4d", major, minor, patch);
    return key;
}

std::string ProfileReader::GetString(const std::string& section, const std::string& valueName,
                                     const std::string& fallback) const
{
    if (m_company.empty()) {
        return IniReader::FromFile(m_application).GetString(section, valueName, fallback);
    }
    if (const auto value = MachineSetting(m_company, m_application, section, valueName)) {
        return CutToUtf16Units(*value, 4095);
    }
    for (const std::string& folder : SettingsFolders()) {
        const IniReader ini = IniReader::FromFile(folder + "/" + m_company + "/" + m_application + ".ini");
        if (const auto value = ini.Find(section, valueName)) {
            return CutToUtf16Units(*value, 4095);
        }
    }
    return fallback;
}

std::string LoadFirmwareFolder()
{
    const std::string base = ProfileReader("Quillon", "DCManager").GetString("General", "BaseDirectory");
    return base.empty() ? std::string() : base + "DCFirmware" + PathSeparator();
}

bool ReadFirmwareInfo(const std::string& folder, const std::string& model, std::string& version,
                      std::string& date, std::string& file, std::string& file2)
{
    return ReadFirmwareInfo(ReadFirmwareList(folder), folder, model, version, date, file, file2);
}

IniReader ReadFirmwareList(const std::string& folder)
{
    return folder.empty() ? IniReader() : IniReader::FromFile(folder + kFirmwareListFile);
}

bool ReadFirmwareInfo(const IniReader& list, const std::string& folder, const std::string& model,
                      std::string& version, std::string& date, std::string& file, std::string& file2)
{
    // Without the management software there is no list; a bare name would be looked up in whatever
    // folder the program was started from.
    if (model.empty() || folder.empty()) {
        return false;
    }
    version = list.GetString(model, "Version");
    date = list.GetString(model, "Date");
    const std::string first = list.GetString(model, "File");
    const std::string second = list.GetString(model, "File2");
    if (version.empty() || date.empty()) {
        return false;
    }
    if (!first.empty()) {
        file = folder + first;
    }
    if (!second.empty()) {
        file2 = folder + second;
    }
    return true;
}

std::int32_t CheckLatestFirmware(const std::string& folder, const std::string& model, const std::string& version,
                                 std::string* firmwareFile, std::string* firmwareFile2)
{
    // Read once, so that a list rewritten meanwhile never mixes two entries.
    return CheckLatestFirmware(ReadFirmwareList(folder), folder, model, version, firmwareFile, firmwareFile2);
}

std::int32_t CheckLatestFirmware(const IniReader& list, const std::string& folder, const std::string& model,
                                 const std::string& version, std::string* firmwareFile, std::string* firmwareFile2,
                                 std::string* listedVersion)
{
    const auto mine = ModuleVersion(version);
    if (model == "QT-DC410" && VersionKey(1, 1, 1) > VersionKey(mine[0], mine[1], mine[2])) {
        return 0;  // such old controllers are never offered an update to latest
    }
    std::string listed;
    const std::int32_t newer = CompareWithList(list, folder, model, version, listed, firmwareFile, firmwareFile2);
    if (newer == 1 && listedVersion != nullptr) {
        *listedVersion = listed;
    }
    return newer;
}

std::int32_t CompareWithList(const IniReader& list, const std::string& folder, const std::string& model,
                             const std::string& version, std::string& listedVersion, std::string* firmwareFile,
                             std::string* firmwareFile2)
{
    const auto mine = ModuleVersion(version);
    const std::string myKey = VersionKey(mine[0], mine[1], mine[2]);
    std::string listVersion, listDate, file, file2;
    if (!ReadFirmwareInfo(list, folder, model, listVersion, listDate, file, file2)) {
        return -1;
    }
    const auto listed = ScanNumbers(listVersion, "", {".", "."});
    std::int32_t build = 0;
    ReadDecimal(listDate, build);
    const std::string listKey = VersionKey(listed[0], listed[1], listed[2]);
    const bool newer = listKey > myKey || (listKey == myKey && mine[3] < build);
    if (newer && firmwareFile != nullptr && firmwareFile2 != nullptr) {
        *firmwareFile = file;
        *firmwareFile2 = file2;
    }
    listedVersion = "V" + std::to_string(listed[0]) + "." + std::to_string(listed[1]) + "." +
                    std::to_string(listed[2]) + "-" + std::to_string(build);
    return newer ? 1 : 0;
}

bool FirmwareUpdateTook(const DeviceRecord& record)
{
    if (record.action != kActionFirmwareUpdate && record.action != kActionFirmwareUpdateToLatest) {
        return true;
    }
    if (record.expectedVersion.empty()) {
        return record.version != record.versionBefore;
    }
    return ModuleVersion(record.version) == ModuleVersion(record.expectedVersion);
}

bool CanConfigure(const std::string& model, const std::string& version)
{
    if (model == "QT-DC410" && version.size() > 8) {
        std::int32_t date = 0;
        const std::string last = version.substr(version.size() - 8);
        std::size_t digits = 0;
        while (digits < last.size() && last[digits] >= '0' && last[digits] <= '9') {
            ++digits;
        }
        ReadDecimal(last.substr(0, digits), date);
        if (date < 20090204) {
            return false;
        }
    }
    return model != "QT-TEXT GRABBER V7K";
}

bool CanUpdateFirmware(const std::string& model, const std::string& version)
{
    const auto mine = ModuleVersion(version);
    return !(model == "QT-DC410" && VersionKey(1, 1, 1) > VersionKey(mine[0], mine[1], mine[2]));
}

}  // namespace tarrowind
