#include "web_pages.h"

#include "platform/ascii_case.h"

namespace tarrowind::sim {

namespace {

void textVariable(std::string& page, std::string_view name, std::string_view value)
{
    page.append("var va_").append(name).append(" = '").append(value).append("';\n");
}

void numberVariable(std::string& page, std::string_view name, std::uint64_t value)
{
    page.append("var va_").append(name).append(" = ").append(std::to_string(value)).append(";\n");
}

// Modules print their MAC in lower case; readers upper-case it themselves.
std::string lowerMac(const MacAddress& mac)
{
    return LowerAscii(formatMac(mac));
}

std::string page(std::string_view title, std::string_view body)
{
    std::string out = "<html><head><title>";
    out.append(title).append("</title></head><body>").append(body).append("</body></html>\n");
    return out;
}

} // namespace

std::string settingsPage(const ModuleConfig& module)
{
    const WebFields& web = module.web;
    std::string out = "<html><head><title>Hidden</title>\n<script language=\"javascript\">\n";
    textVariable(out, "machname", module.name);
    numberVariable(out, "EnableDHCP", module.dhcp ? 1 : 0);
    textVariable(out, "IpAddr", formatIpv4(module.ip));
    textVariable(out, "NetMask", formatIpv4(module.mask));
    textVariable(out, "Gateway", formatIpv4(module.gateway));
    textVariable(out, "DNServer", formatIpv4(web.dns));
    numberVariable(out, "SendtoServer", web.sendToServer);
    textVariable(out, "ServerAddress", formatIpv4(web.serverAddress));
    textVariable(out, "MyName", web.myName);
    numberVariable(out, "ddns", web.ddns);
    textVariable(out, "HostName", web.hostName);
    textVariable(out, "UserName", web.ddnsUser);
    textVariable(out, "DDNSPasswd", web.ddnsPassword);
    textVariable(out, "3Des1", web.des[0]);
    textVariable(out, "3Des2", web.des[1]);
    textVariable(out, "3Des3", web.des[2]);
    textVariable(out, "DevicePort", std::to_string(web.devicePort));
    textVariable(out, "Mac", lowerMac(module.mac));
    textVariable(out, "EthVer", module.shownEthVersion());
    textVariable(out, "DC4Ver", module.controllerVersion);
    out.append("</script>\n</head><body>Network settings</body></html>\n");
    return out;
}

std::string busySettingsPage(const ModuleConfig& module)
{
    std::string out = "<html><head><title>Busy</title>\n<script language=\"javascript\">\n";
    textVariable(out, "machname", module.name);
    textVariable(out, "IpAddr", formatIpv4(module.ip));
    out.append("</script>\n</head><body>503 Service busy, try again later</body></html>\n");
    return out;
}

std::string progressPage(FirmwareProgress progress, bool withTotal)
{
    std::string out = "<html><head><script language=\"javascript\">\n";
    out.append("var va_Finish = ").append(std::to_string(progress.finish)).append(";\n");
    if (withTotal) out.append("var va_Total = ").append(std::to_string(progress.total)).append(";\n");
    out.append("</script></head><body>Updating</body></html>\n");
    return out;
}

std::string acceptedPage(std::string_view what)
{
    return page("OK", what);
}

std::string refusalPage(Refusal refusal)
{
    switch (refusal) {
    case Refusal::Unauthorized: return page("401 Unauthorized", "<h1>401 Unauthorized</h1>");
    case Refusal::NotFound: return page("404 Not Found", "<h1>404 Not Found</h1>");
    case Refusal::LoginFail: return page("Login", "Login Fail");
    case Refusal::None: break;
    }
    return acceptedPage("");
}

int refusalStatus(Refusal refusal)
{
    switch (refusal) {
    case Refusal::Unauthorized: return 401;
    case Refusal::NotFound: return 404;
    case Refusal::LoginFail:
    case Refusal::None: break;
    }
    return 200;
}

} // namespace tarrowind::sim
