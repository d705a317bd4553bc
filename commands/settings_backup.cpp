#include "commands/settings_backup.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "commands/address_plan.h"
#include "discovery/address_text.h"
#include "platform/secret_wipe.h"

namespace tarrowind {
namespace {

using Json = nlohmann::ordered_json;

// The format nests two levels; a file nested deeper is refused before the parser sees it, so that no
// input can make it recurse far.
constexpr int kMaxDepth = 4;

bool NestsTooDeep(std::string_view bytes)
{
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : bytes) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > kMaxDepth) {
                return true;
            }
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return false;
}

// Reads the values of one object, noting the first one missing or wrong.
class ObjectReader {
public:
    ObjectReader(const Json& object, std::string prefix, BackupRead& read)
        : m_object(object), m_prefix(std::move(prefix)), m_read(read)
    {
    }

    std::string Text(const char* key)
    {
        const Json* value = Find(key);
        if (value == nullptr) {
            return {};
        }
        if (!value->is_string() || value->get_ref<const std::string&>().size() > kMaxSettingsBackupText) {
            Fail(BackupReadError::BadValue, key);
            return {};
        }
        return value->get<std::string>();
    }
    std::optional<std::string> OptionalText(const char* key)
    {
        if (!m_object.contains(key)) {
            return std::nullopt;
        }
        return Text(key);
    }
    std::uint32_t Number(const char* key, std::uint32_t low, std::uint32_t high)
    {
        const Json* value = Find(key);
        if (value == nullptr) {
            return low;
        }
        if (!value->is_number_integer() || value->get<std::int64_t>() < low || value->get<std::int64_t>() > high) {
            Fail(BackupReadError::BadValue, key);
            return low;
        }
        return static_cast<std::uint32_t>(value->get<std::int64_t>());
    }
    bool Flag(const char* key)
    {
        const Json* value = Find(key);
        if (value != nullptr && !value->is_boolean()) {
            Fail(BackupReadError::BadValue, key);
            return false;
        }
        return value != nullptr && value->get<bool>();
    }
    // Network byte order, as ModuleSettings keeps addresses.
    std::uint32_t Address(const char* key)
    {
        const std::string text = Text(key);
        if (m_read.error != BackupReadError::None) {
            return 0;
        }
        const auto address = ParseDottedAddress(text);
        if (!address) {
            Fail(BackupReadError::BadValue, key);
            return 0;
        }
        return address->NetworkOrder();
    }

private:
    const Json* Find(const char* key)
    {
        const auto it = m_object.find(key);
        if (it == m_object.end()) {
            Fail(BackupReadError::MissingValue, key);
            return nullptr;
        }
        return &*it;
    }
    void Fail(BackupReadError error, const char* key)
    {
        if (m_read.error == BackupReadError::None) {
            m_read.error = error;
            m_read.field = m_prefix + key;
        }
    }

    const Json& m_object;
    std::string m_prefix;
    BackupRead& m_read;
};

bool IsMacText(std::string_view text)
{
    if (text.size() != 17) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        if (i % 3 == 2 ? c != ':' && c != '-' : !hex) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string DescribeBackupReadError(const BackupRead& read)
{
    switch (read.error) {
    case BackupReadError::None:
        return "no error";
    case BackupReadError::TooLarge:
        return "the file is larger than a settings file ever is (" + std::to_string(kMaxSettingsBackupBytes / 1024) +
               " KiB)";
    case BackupReadError::NotJson:
        return "the file is not a JSON object";
    case BackupReadError::NotBackup:
        return std::string("the file is not a settings file (its \"format\" is not \"") + kSettingsBackupFormat + "\")";
    case BackupReadError::NewerFormat:
        return "the file was written in a newer format (version above " + std::to_string(kSettingsBackupVersion) +
               ") by a later version of the program";
    case BackupReadError::MissingValue:
        return "the file has no value \"" + read.field + "\"";
    case BackupReadError::BadValue:
        return "the value \"" + read.field + "\" of the file is not one a module takes";
    }
    return "unreadable";
}

std::optional<std::string> SettingsBackupText(const SettingsBackup& b)
{
    const ModuleSettings& s = b.settings;
    const Json file = {
        {"format", kSettingsBackupFormat},
        {"formatVersion", kSettingsBackupVersion},
        {"mac", b.mac},
        {"model", b.model},
        {"version", b.version},
        {"name", b.name},
        {"savedAt", b.savedAt},
        {"settings",
         {
             {"MachName", s.machineName},
             {"EnableDHCP", s.dhcp != 0},
             {"IpAddress", FormatIp(s.ip)},
             {"SubnetMask", FormatIp(s.mask)},
             {"DefaultGateway", FormatIp(s.gateway)},
             {"DNServer", FormatIp(s.dns)},
             {"SendtoServer", s.sendToServer},
             {"ServerAddress", FormatIp(s.serverAddress)},
             {"MyName", s.myName},
             {"DDNS", s.ddnsType},
             {"HostName", s.hostName},
             {"UserName", s.ddnsUserName},
             {"DDNSPasswd", s.ddnsPassword},
             {"3Des1", s.des1},
             {"3Des2", s.des2},
             {"3Des3", s.des3},
             {"DevicePort", s.devicePort},
         }},
        {"ethernetVersion", s.ethVersion},
        {"controllerVersion", s.controllerVersion},
    };
    try {
        return file.dump(2) + "\n";
    } catch (const Json::type_error&) {
        return std::nullopt;  // a text that is no UTF-8: replacing its bytes would save another secret
    }
}

namespace {

void ReadInto(std::string_view bytes, BackupRead& read)
{
    if (bytes.size() > kMaxSettingsBackupBytes) {
        read.error = BackupReadError::TooLarge;
        return;
    }
    if (NestsTooDeep(bytes)) {
        read.error = BackupReadError::NotJson;
        return;
    }
    const Json file = Json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (file.is_discarded() || !file.is_object()) {
        read.error = BackupReadError::NotJson;
        return;
    }
    const auto format = file.find("format");
    if (format == file.end() || !format->is_string() || format->get_ref<const std::string&>() != kSettingsBackupFormat) {
        read.error = BackupReadError::NotBackup;
        return;
    }
    ObjectReader top(file, "", read);
    const std::uint32_t version = top.Number("formatVersion", 1, 0x7FFFFFFF);
    if (read.error == BackupReadError::None && version > kSettingsBackupVersion) {
        read.error = BackupReadError::NewerFormat;
        return;
    }
    SettingsBackup& b = read.backup;
    b.mac = top.Text("mac");
    if (read.error == BackupReadError::None && !IsMacText(b.mac)) {
        read.error = BackupReadError::BadValue;
        read.field = "mac";
    }
    b.model = top.Text("model");
    b.version = top.Text("version");
    b.name = top.Text("name");
    b.savedAt = top.Text("savedAt");
    ModuleSettings& s = b.settings;
    s.ethVersion = top.OptionalText("ethernetVersion").value_or("");
    s.controllerVersion = top.OptionalText("controllerVersion").value_or("");
    const auto settings = file.find("settings");
    if (read.error != BackupReadError::None) {
        return;
    }
    if (settings == file.end() || !settings->is_object()) {
        read.error = settings == file.end() ? BackupReadError::MissingValue : BackupReadError::BadValue;
        read.field = "settings";
        return;
    }
    ObjectReader in(*settings, "settings.", read);
    s.machineName = in.Text("MachName");
    s.dhcp = in.Flag("EnableDHCP") ? 1 : 0;
    s.ip = in.Address("IpAddress");
    s.mask = in.Address("SubnetMask");
    s.gateway = in.Address("DefaultGateway");
    s.dns = in.Address("DNServer");
    s.sendToServer = in.Number("SendtoServer", 0, 2);
    s.serverAddress = in.Address("ServerAddress");
    s.myName = in.Text("MyName");
    s.ddnsType = in.Number("DDNS", 0, 1);
    s.hostName = in.Text("HostName");
    s.ddnsUserName = in.Text("UserName");
    s.ddnsPassword = in.Text("DDNSPasswd");
    s.des1 = in.Text("3Des1");
    s.des2 = in.Text("3Des2");
    s.des3 = in.Text("3Des3");
    s.devicePort = in.Number("DevicePort", 1025, 65535);
}

}  // namespace

BackupRead ReadSettingsBackup(std::string_view bytes)
{
    BackupRead read;
    ReadInto(bytes, read);
    if (read.error != BackupReadError::None) {
        read.backup = SettingsBackup{};  // nothing half read is used
    }
    return read;
}

std::string SettingsBackupFileName(const std::array<std::uint8_t, 6>& m)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2X-%.2X-%.2X-%.2X-%.2X-%.2X.json", m[0], m[1], m[2], m[3], m[4], m[5]);
    return text;
}

std::string UtcTimestamp(std::chrono::system_clock::time_point when)
{
    using namespace std::chrono;
    const auto seconds = floor<std::chrono::seconds>(when);
    const auto day = floor<days>(seconds);
    const year_month_day date{day};
    const hh_mm_ss time{seconds - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

}  // namespace tarrowind
