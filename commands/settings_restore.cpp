#include "commands/settings_restore.h"

#include <algorithm>

#include "commands/module_csv.h"
#include "discovery/address_text.h"

namespace tarrowind {
namespace {

struct FieldDef {
    const char* field;
    const char* key;
    bool secret;
    bool network;
    std::string (*text)(const ModuleSettings&);
    void (*copy)(const ModuleSettings& from, ModuleSettings& to);
};

#define TEXT_FIELD(member) \
    [](const ModuleSettings& s) { return s.member; }, [](const ModuleSettings& f, ModuleSettings& t) { t.member = f.member; }
#define ADDRESS_FIELD(member) \
    [](const ModuleSettings& s) { return FormatIp(s.member); }, \
        [](const ModuleSettings& f, ModuleSettings& t) { t.member = f.member; }
#define NUMBER_FIELD(member) \
    [](const ModuleSettings& s) { return std::to_string(s.member); }, \
        [](const ModuleSettings& f, ModuleSettings& t) { t.member = f.member; }

// The configuration form's values in its order; the login is none of them.
const FieldDef kFields[] = {
    {"Name", "ORB_IDS_MACHINE_NAME", false, false, TEXT_FIELD(machineName)},
    {"DHCP", "ORB_IDS_ENABLE_DHCP", false, true, [](const ModuleSettings& s) { return std::string(s.dhcp != 0 ? "on" : "off"); },
     [](const ModuleSettings& f, ModuleSettings& t) { t.dhcp = f.dhcp != 0 ? 1 : 0; }},
    {"IP", "ORB_IDS_IP", false, true, ADDRESS_FIELD(ip)},
    {"Mask", "ORB_IDS_SUBNET_MASK", false, true, ADDRESS_FIELD(mask)},
    {"Gateway", "ORB_IDS_DEFAULT_GATEWAY", false, true, ADDRESS_FIELD(gateway)},
    {"DNS server", "ORB_IDS_DNS_SERVER", false, false, ADDRESS_FIELD(dns)},
    {"Dynamic DNS mode", "ORB_IDS_RESTORE_DDNS_MODE", false, false, NUMBER_FIELD(sendToServer)},
    {"Local DDNS server", "ORB_IDS_SERVER_IP", false, false, ADDRESS_FIELD(serverAddress)},
    {"Device name", "ORB_IDS_DEVICE_NAME", false, false, TEXT_FIELD(myName)},
    {"DDNS type", "ORB_IDS_DDNS_TYPE", false, false, NUMBER_FIELD(ddnsType)},
    {"DDNS host name", "ORB_IDS_HOST_NAME", false, false, TEXT_FIELD(hostName)},
    {"DDNS user name", "ORB_IDS_RESTORE_DDNS_USER", false, false, TEXT_FIELD(ddnsUserName)},
    {"DDNS password", "ORB_IDS_RESTORE_DDNS_PASSWORD", true, false, TEXT_FIELD(ddnsPassword)},
    {"3DES code 1", "ORB_IDS_RESTORE_3DES_1", true, false, TEXT_FIELD(des1)},
    {"3DES code 2", "ORB_IDS_RESTORE_3DES_2", true, false, TEXT_FIELD(des2)},
    {"3DES code 3", "ORB_IDS_RESTORE_3DES_3", true, false, TEXT_FIELD(des3)},
    {"Device port", "ORB_IDS_DEVICE_PORT", false, false, NUMBER_FIELD(devicePort)},
};

#undef TEXT_FIELD
#undef ADDRESS_FIELD
#undef NUMBER_FIELD

}  // namespace

std::vector<RestoreField> PreviewRestore(const ModuleSettings& current, const ModuleSettings& saved, bool withNetwork)
{
    std::vector<RestoreField> fields;
    for (const FieldDef& d : kFields) {
        RestoreField f{d.field, d.key, {}, {}, {}, d.secret, d.network, RestoreFieldState::Unchanged};
        const std::string before = d.text(current);
        const std::string wanted = d.text(saved);
        if (before != wanted) {
            f.state = d.network && !withNetwork ? RestoreFieldState::Kept : RestoreFieldState::Changed;
        }
        if (!d.secret) {
            f.oldText = before;
            f.newText = f.state == RestoreFieldState::Changed ? wanted : before;
            f.fileText = wanted;
        }
        fields.push_back(std::move(f));
    }
    return fields;
}

void ApplyRestore(const ModuleSettings& saved, bool withNetwork, ModuleSettings& settings)
{
    for (const FieldDef& d : kFields) {
        if (!d.network || withNetwork) {
            d.copy(saved, settings);
        }
    }
}

std::optional<std::string> RestoreRefusal(const SettingsBackup& backup, const DeviceRecord& module)
{
    if (module.kind != ModuleKind::Web && module.kind != ModuleKind::WebDactyl) {
        return std::string("a ") + ModuleKindText(module.kind) + " module has no configuration page to restore";
    }
    if (backup.model != module.model) {
        return "the file holds the settings of a " + backup.model + ", the module is a " + module.model +
               "; settings go only to a module of the same model";
    }
    return std::nullopt;
}

RestoreAddressCheck CheckRestoreAddressing(const DeviceRecord& module, const ModuleSettings& saved,
                                           const std::vector<const DeviceRecord*>& listed)
{
    RestoreAddressCheck check;
    check.addressing = Addressing{saved.dhcp != 0, saved.ip, saved.mask, saved.gateway};
    const auto otherHas = [&](std::uint32_t address) {
        return std::any_of(listed.begin(), listed.end(), [&](const DeviceRecord* r) {
            return r != nullptr && r->macText != module.macText && r->ip == address;
        });
    };
    if (!check.addressing.dhcp && saved.ip != module.ip) {
        for (const DeviceRecord* r : listed) {
            if (r != nullptr && r->macText != module.macText && r->ip == saved.ip) {
                check.holder = r;
                return check;
            }
        }
    }
    check.rule = CheckAddressing(check.addressing, otherHas);
    return check;
}

std::string DescribeRestoreAddressCheck(const RestoreAddressCheck& check)
{
    if (check.holder != nullptr) {
        return "the file's address " + FormatIp(check.addressing.ip) + " is that of " + check.holder->macText +
               ", still listed; a module is only given a free address";
    }
    return DescribeAddressRule(check.rule, check.addressing);
}

}  // namespace tarrowind
