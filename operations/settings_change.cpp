#include "operations/settings_change.h"

#include "discovery/address_text.h"
#include "operations/module_settings.h"
#include "platform/ipv4_address.h"

namespace tarrowind {

void ApplySettingsChange(const SettingsChange& change, ModuleSettings& s)
{
    if (change.name) {
        s.machineName = *change.name;
    }
    if (change.dhcp) {
        s.dhcp = *change.dhcp ? 1 : 0;
    }
    s.ip = change.ip.value_or(s.ip);
    s.mask = change.mask.value_or(s.mask);
    s.gateway = change.gateway.value_or(s.gateway);
    if (change.login) {
        s.newLoginName = change.login->userName;
        s.newAdminPassword = change.login->password;
    }
}

std::int32_t ChangeModuleSettings(const SettingsChange& change, const HttpTarget& target, HttpClient& http,
                                  ModuleSettings& s)
{
    s = ModuleSettings{};
    s.target = target;
    const std::int32_t read = ReadModuleSettings(&s, http);
    if (read != kHttpSuccess) {
        return read;
    }
    s.newLoginName = target.userName;
    s.newAdminPassword = target.password;
    ApplySettingsChange(change, s);
    return WriteModuleSettings(&s, http);
}

DactylSettingsBytes DactylRequestWithChange(const DeviceRecord& r, const SettingsChange& change)
{
    // The request wants the first dotted number in the most significant byte.
    const auto hostOrder = [](const std::optional<std::uint32_t>& changed, const std::string& current) {
        return NetworkToHostOrder(changed ? *changed : ParseIpText(current));
    };
    return MakeDactylSettingsRequest(r.macText, change.name.value_or(r.name), change.dhcp.value_or(r.dhcp != 0),
                                     hostOrder(change.ip, r.ipText), hostOrder(change.mask, r.maskText),
                                     hostOrder(change.gateway, r.gatewayText));
}

}  // namespace tarrowind
