#include "operations/module_settings.h"

#include <cstdio>

#include "discovery/address_text.h"
#include "operations/module_request.h"
#include "operations/page_variables.h"
#include "platform/code_page.h"

namespace tarrowind {
namespace {

constexpr std::uint32_t kDefaultDevicePort = 4000;

std::uint32_t AddressVariable(std::string_view page, std::string_view key)
{
    return InetAddr(Utf8ToAnsi(TextVariable(page, key)));
}

std::string Upper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

void CorrectNumbers(ModuleSettings& s)
{
    if (s.sendToServer > 2) {
        s.sendToServer = 2;
    }
    if (s.ddnsType > 1) {
        s.ddnsType = 0;
    }
}

std::uint32_t CorrectPort(std::uint32_t port)
{
    return port < 1025 || port > 65535 ? kDefaultDevicePort : port;
}

// Room for the form's names and numbers; the texts are added on top, escaped at most threefold.
constexpr std::size_t kFormReserve = 512;

void AppendFormValue(std::string& out, const std::string& value)
{
    static constexpr std::string_view kEscaped = " \"#$&+,;<=>?@[\\]^`{|}";
    for (const char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b > 0x7E || kEscaped.find(c) != std::string_view::npos) {
            char text[4];
            std::snprintf(text, sizeof text, "%%%.2x", b);
            out += text;
        } else {
            out += c;
        }
    }
}

}  // namespace

std::string EscapeFormValue(const std::string& value)
{
    std::string out;
    out.reserve(3 * value.size());
    AppendFormValue(out, value);
    return out;
}

void ParseModuleSettingsPage(std::string_view page, ModuleSettings& s)
{
    s.machineName = TextVariable(page, "var va_machname = ");
    s.dhcp = NumberVariable(page, "var va_EnableDHCP = ") != 0 ? 1 : 0;
    s.ip = AddressVariable(page, "var va_IpAddr = ");
    s.mask = AddressVariable(page, "var va_NetMask = ");
    s.gateway = AddressVariable(page, "var va_Gateway = ");
    s.dns = AddressVariable(page, "var va_DNServer = ");
    s.sendToServer = static_cast<std::uint32_t>(NumberVariable(page, "var va_SendtoServer = "));
    s.serverAddress = AddressVariable(page, "var va_ServerAddress = ");
    s.myName = TextVariable(page, "var va_MyName = ");
    s.ddnsType = static_cast<std::uint32_t>(NumberVariable(page, "var va_ddns = "));
    s.hostName = TextVariable(page, "var va_HostName = ");
    s.ddnsUserName = TextVariable(page, "var va_UserName = ");
    s.ddnsPassword = TextVariable(page, "var va_DDNSPasswd = ");
    CorrectNumbers(s);
    s.des1 = TextVariable(page, "var va_3Des1 = ");
    s.des2 = TextVariable(page, "var va_3Des2 = ");
    s.des3 = TextVariable(page, "var va_3Des3 = ");
    std::int32_t port = 0;
    ReadDecimal(TextVariable(page, "var va_DevicePort = "), port);
    s.devicePort = static_cast<std::uint32_t>(port);
    s.macText = Upper(TextVariable(page, "var va_Mac = "));
    s.ethVersion = TextVariable(page, "var va_EthVer = ");
    const std::string controller = TextVariable(page, "var va_DC4Ver = ");
    s.controllerVersion = controller.substr(0, controller.find(' '));
    s.devicePort = CorrectPort(s.devicePort);
}

std::int32_t ReadModuleSettings(ModuleSettings* settings, HttpClient& http)
{
    if (settings == nullptr) {
        return kHttpNoTarget;
    }
    ModuleRequest request;
    request.path = "/Eng/Hidden.htm";
    std::string page;
    const std::int32_t result = RunModuleRequest(http, &settings->target, request, &page);
    if (result != kHttpSuccess || page.empty()) {
        return result;
    }
    // One refusal at a time, in this order, as the page may carry both texts.
    if (page.find("401 Unauthorized") != std::string::npos || page.find("404 Not Found") != std::string::npos) {
        return kHttpRefused;
    }
    ParseModuleSettingsPage(page, *settings);
    return kHttpSuccess;
}

std::string ModuleSettingsForm(const ModuleSettings& settings)
{
    ModuleSettings s = settings;
    // The form holds the passwords: built in a buffer that never grows, and wiped once converted.
    std::string body;
    body.reserve(kFormReserve + 3 * (s.machineName.size() + s.myName.size() + s.hostName.size() +
                                     s.ddnsUserName.size() + s.ddnsPassword.size() + s.des1.size() + s.des2.size() +
                                     s.des3.size() + s.newLoginName.size() + s.newAdminPassword.size()));
    body += "Reboot=" + std::to_string(s.reboot != 0 ? 1 : 0) +
            "&Default=" + std::to_string(s.restoreDefault != 0 ? 1 : 0);
    if (s.reboot == 0 && s.restoreDefault == 0) {
        const bool loginChange = s.newLoginName != s.target.userName || s.newAdminPassword != s.target.password;
        CorrectNumbers(s);
        s.devicePort = CorrectPort(s.devicePort);
        // Every text is escaped: an "&" or "=" in a password must not split the form or add a field.
        const auto text = [](const std::string& v) { return EscapeFormValue(v); };
        body += "&MachName=" + text(s.machineName);
        body += "&EnableDHCP=" + std::to_string(s.dhcp != 0 ? 1 : 0);
        body += "&IpAddress=" + FormatIp(s.ip);
        body += "&SubnetMask=" + FormatIp(s.mask);
        body += "&DefaultGateway=" + FormatIp(s.gateway);
        body += "&DNServer=" + FormatIp(s.dns);
        body += "&SendtoServer=" + std::to_string(s.sendToServer);
        body += "&DDNS=" + std::to_string(s.ddnsType);
        body += "&ServerAddress=" + FormatIp(s.serverAddress);
        body += "&MyName=" + text(s.myName);
        body += "&HostName=" + text(s.hostName);
        body += "&UserName=" + text(s.ddnsUserName);
        body += "&DDNSPasswd=";
        AppendFormValue(body, s.ddnsPassword);  // straight into the form: no copy of a password
        body += "&3Des1=" + text(s.des1);
        body += "&3Des2=" + text(s.des2);
        body += "&3Des3=" + text(s.des3);
        body += "&DevicePort=" + std::to_string(s.devicePort);
        body += "&LoginChange=" + std::to_string(loginChange ? 1 : 0);
        if (loginChange) {
            body += "&LoginName=" + text(s.newLoginName);
            body += "&AdminPasswd=";
            AppendFormValue(body, s.newAdminPassword);
        }
    }
    body += "&Submit=Submit\r\n";
    std::string form = Utf8ToAnsi(body);
    WipeString(body);
    return form;
}

std::int32_t WriteModuleSettings(const ModuleSettings* settings, HttpClient& http)
{
    if (settings == nullptr) {
        return kHttpNoTarget;
    }
    std::string body = ModuleSettingsForm(*settings);
    const WipeOnExit wipeBody(body);
    ModuleRequest request;
    request.method = "POST";
    request.path = "/ConfigHidden";
    request.hasBody = true;
    request.body = body;
    return RunModuleRequest(http, &settings->target, request);
}

}  // namespace tarrowind
