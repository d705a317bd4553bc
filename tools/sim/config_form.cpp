#include "config_form.h"

#include <charconv>

namespace tarrowind::sim {

namespace {

std::optional<std::uint32_t> readNumber(const std::string& text)
{
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || next != end || text.empty()) return std::nullopt;
    return value;
}

bool flagSet(const FormFields& form, std::string_view name)
{
    const std::string* value = form.get(name);
    if (!value) return false;
    const auto number = readNumber(*value);
    return number && *number != 0;
}

class FieldReader {
public:
    FieldReader(const FormFields& form, std::vector<std::string>& ignored) : m_form(form), m_ignored(ignored) {}

    void text(const char* name, std::string& into) const
    {
        if (const std::string* value = m_form.get(name)) into = *value;
    }

    void address(const char* name, Ipv4Address& into) const
    {
        const std::string* value = m_form.get(name);
        if (!value) return;
        if (const auto parsed = parseIpv4(*value)) into = *parsed;
        else m_ignored.push_back(name);
    }

    void number(const char* name, std::uint32_t& into) const
    {
        const std::string* value = m_form.get(name);
        if (!value) return;
        if (const auto parsed = readNumber(*value)) into = *parsed;
        else m_ignored.push_back(name);
    }

    void flag(const char* name, bool& into) const
    {
        std::uint32_t value = into ? 1 : 0;
        number(name, value);
        into = value != 0;
    }

private:
    const FormFields& m_form;
    std::vector<std::string>& m_ignored;
};

} // namespace

FormOutcome applyConfigForm(const FormFields& form, const ModuleConfig& current)
{
    FormOutcome outcome;
    if (flagSet(form, "Default")) {
        outcome.action = FormAction::FactoryDefault;
        outcome.changes.factoryDefault = true;
        return outcome;
    }
    if (flagSet(form, "Reboot")) {
        outcome.action = FormAction::Reboot;
        return outcome;
    }

    NetworkSettings network{current.name, current.dhcp, current.ip, current.mask, current.gateway};
    WebFields web = current.web;
    const FieldReader field(form, outcome.ignored);
    field.text("MachName", network.name);
    field.flag("EnableDHCP", network.dhcp);
    field.address("IpAddress", network.ip);
    field.address("SubnetMask", network.mask);
    field.address("DefaultGateway", network.gateway);
    field.address("DNServer", web.dns);
    field.number("SendtoServer", web.sendToServer);
    field.number("DDNS", web.ddns);
    field.address("ServerAddress", web.serverAddress);
    field.text("MyName", web.myName);
    field.text("HostName", web.hostName);
    field.text("UserName", web.ddnsUser);
    field.text("DDNSPasswd", web.ddnsPassword);
    field.text("3Des1", web.des[0]);
    field.text("3Des2", web.des[1]);
    field.text("3Des3", web.des[2]);
    field.number("DevicePort", web.devicePort);
    if (flagSet(form, "LoginChange")) {
        field.text("LoginName", web.user);
        field.text("AdminPasswd", web.password);
    }
    outcome.changes.network = network;
    outcome.changes.web = web;
    return outcome;
}

} // namespace tarrowind::sim
