#include "operations/module_settings.h"

#include <optional>

#include "discovery/address_text.h"
#include "operations/module_request.h"
#include "operations/page_variables.h"
#include "operations/percent_escape.h"
#include "platform/ascii_case.h"
#include "platform/code_page.h"

namespace tarrowind {
namespace {

constexpr std::uint32_t kDefaultDevicePort = 4000;

// Reads a page's variables and notes whether every one the form posts back was there: a gap would be
// posted as an empty text, 0 or 255.255.255.255 and overwrite what the module has.
class PageReader {
public:
    explicit PageReader(std::string_view page) : m_page(page) {}

    std::string Text(std::string_view key)
    {
        std::optional<std::string> value = FindTextVariable(m_page, key);
        m_complete = m_complete && value.has_value();
        return std::move(value).value_or(std::string());
    }
    std::int32_t Number(std::string_view key)
    {
        const std::optional<std::int32_t> value = FindNumberVariable(m_page, key);
        m_complete = m_complete && value.has_value();
        return value.value_or(0);
    }
    std::uint32_t Address(std::string_view key)
    {
        const std::string text = Utf8ToAnsi(Text(key));
        const std::uint32_t value = InetAddr(text);
        m_complete = m_complete && (value != 0xFFFFFFFFu || text == "255.255.255.255");
        return value;
    }
    std::int32_t DecimalText(std::string_view key)
    {
        std::int32_t value = 0;
        m_complete = ReadDecimal(Text(key), value) && m_complete;
        return value;
    }
    // Shown only, never posted: a gap there loses nothing.
    std::string Shown(std::string_view key) const { return TextVariable(m_page, key); }
    bool Complete() const { return m_complete; }

private:
    std::string_view m_page;
    bool m_complete = true;
};

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

}  // namespace

bool ParseModuleSettingsPage(std::string_view page, ModuleSettings& s)
{
    PageReader read(page);
    s.machineName = read.Text("var va_machname = ");
    s.dhcp = read.Number("var va_EnableDHCP = ") != 0 ? 1 : 0;
    s.ip = read.Address("var va_IpAddr = ");
    s.mask = read.Address("var va_NetMask = ");
    s.gateway = read.Address("var va_Gateway = ");
    s.dns = read.Address("var va_DNServer = ");
    s.sendToServer = static_cast<std::uint32_t>(read.Number("var va_SendtoServer = "));
    s.serverAddress = read.Address("var va_ServerAddress = ");
    s.myName = read.Text("var va_MyName = ");
    s.ddnsType = static_cast<std::uint32_t>(read.Number("var va_ddns = "));
    s.hostName = read.Text("var va_HostName = ");
    s.ddnsUserName = read.Text("var va_UserName = ");
    s.ddnsPassword = read.Text("var va_DDNSPasswd = ");
    CorrectNumbers(s);
    s.des1 = read.Text("var va_3Des1 = ");
    s.des2 = read.Text("var va_3Des2 = ");
    s.des3 = read.Text("var va_3Des3 = ");
    s.devicePort = static_cast<std::uint32_t>(read.DecimalText("var va_DevicePort = "));
    s.macText = UpperAscii(read.Shown("var va_Mac = "));
    s.ethVersion = read.Shown("var va_EthVer = ");
    const std::string controller = read.Shown("var va_DC4Ver = ");
    s.controllerVersion = controller.substr(0, controller.find(' '));
    s.devicePort = CorrectPort(s.devicePort);
    return read.Complete();
}

std::int32_t SettingsFailureStatus(std::int32_t result)
{
    return result == kHttpPageIncomplete ? kStatusSettingsUnreadable : FailureStatus(result, kStatusSettingFailed);
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
    if (result != kHttpSuccess) {
        return result;
    }
    if (page.empty()) {
        return kHttpPageIncomplete;  // a busy module may answer with nothing at all
    }
    // One refusal at a time, in this order, as the page may carry both texts; a refused password is
    // told apart from a refused page, so the row can say which.
    if (page.find("401 Unauthorized") != std::string::npos) {
        return kHttpCredentialsRefused;
    }
    if (page.find("404 Not Found") != std::string::npos) {
        return kHttpRefused;
    }
    ModuleSettings read = *settings;
    if (!ParseModuleSettingsPage(page, read)) {
        return kHttpPageIncomplete;
    }
    *settings = std::move(read);
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
        const auto text = [](const std::string& v) { return PercentEscaped(v, kConfigurationFormEscapes); };
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
        // Straight into the form: no copy of a password.
        AppendPercentEscaped(body, s.ddnsPassword, kConfigurationFormEscapes);
        body += "&3Des1=" + text(s.des1);
        body += "&3Des2=" + text(s.des2);
        body += "&3Des3=" + text(s.des3);
        body += "&DevicePort=" + std::to_string(s.devicePort);
        body += "&LoginChange=" + std::to_string(loginChange ? 1 : 0);
        if (loginChange) {
            body += "&LoginName=" + text(s.newLoginName);
            body += "&AdminPasswd=";
            AppendPercentEscaped(body, s.newAdminPassword, kConfigurationFormEscapes);
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
    // A module that refused the password changed nothing and will not restart: waiting for it to come
    // back would end in a failed login long after the real cause.
    request.credentialRefusals = {"401 Unauthorized"};
    return RunModuleRequest(http, &settings->target, request);
}

}  // namespace tarrowind
