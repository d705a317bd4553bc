#include "web_pages.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

using namespace tarrowind::sim;

namespace {

ModuleConfig door()
{
    ModuleConfig m;
    m.name = "Door 'A'";
    m.mac = {0x02, 0x11, 0x2A, 0x0A, 0x0B, 0x0C};
    m.ip = 0xC000020Au;
    m.mask = 0xFFFFFF00u;
    m.gateway = 0xC00002FEu;
    m.version = "V3.10R2";
    m.dhcp = true;
    m.web.dns = 0x08080808u;
    m.web.sendToServer = 5;
    m.web.serverAddress = 0xCB007105u;
    m.web.myName = "me";
    m.web.ddns = 3;
    m.web.hostName = "h";
    m.web.ddnsUser = "u";
    m.web.ddnsPassword = "p&q";
    m.web.des = {"1111", "2222", "3333"};
    m.web.devicePort = 70000;
    m.controllerVersion = "V1.2.3 build 7";
    return m;
}

std::vector<std::string> scriptLines(const std::string& page)
{
    std::vector<std::string> lines;
    std::istringstream in(page);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("var ", 0) == 0) lines.push_back(line);
    return lines;
}

} // namespace

TEST(SettingsPage, TwentyVariablesInTheirForms)
{
    const std::vector<std::string> expected{
        "var va_machname = 'Door 'A'';",
        "var va_EnableDHCP = 1;",
        "var va_IpAddr = '192.0.2.10';",
        "var va_NetMask = '255.255.255.0';",
        "var va_Gateway = '192.0.2.254';",
        "var va_DNServer = '8.8.8.8';",
        "var va_SendtoServer = 5;",
        "var va_ServerAddress = '203.0.113.5';",
        "var va_MyName = 'me';",
        "var va_ddns = 3;",
        "var va_HostName = 'h';",
        "var va_UserName = 'u';",
        "var va_DDNSPasswd = 'p&q';",
        "var va_3Des1 = '1111';",
        "var va_3Des2 = '2222';",
        "var va_3Des3 = '3333';",
        "var va_DevicePort = '70000';",
        "var va_Mac = '02:11:2a:0a:0b:0c';",
        "var va_EthVer = 'V3.10R2';",
        "var va_DC4Ver = 'V1.2.3 build 7';",
    };
    EXPECT_EQ(scriptLines(settingsPage(door())), expected);
}

TEST(SettingsPage, ConfiguredNetworkVersionIsShown)
{
    ModuleConfig module = door();
    module.ethVersion = "E2.00";
    EXPECT_NE(settingsPage(module).find("var va_EthVer = 'E2.00';"), std::string::npos);
}

TEST(ProgressPage, FinishAndTotalLines)
{
    EXPECT_EQ(scriptLines(progressPage({50, 200}, true)),
              (std::vector<std::string>{"var va_Finish = 50;", "var va_Total = 200;"}));
    EXPECT_EQ(scriptLines(progressPage({0, 200}, false)), (std::vector<std::string>{"var va_Finish = 0;"}));
}

TEST(RefusalPages, CarryTheTextTheClientLooksFor)
{
    EXPECT_NE(refusalPage(Refusal::Unauthorized).find("401 Unauthorized"), std::string::npos);
    EXPECT_EQ(refusalStatus(Refusal::Unauthorized), 401);
    EXPECT_NE(refusalPage(Refusal::NotFound).find("404 Not Found"), std::string::npos);
    EXPECT_EQ(refusalStatus(Refusal::NotFound), 404);
    EXPECT_NE(refusalPage(Refusal::LoginFail).find("Login Fail"), std::string::npos);
    EXPECT_EQ(refusalStatus(Refusal::LoginFail), 200);
    for (const char* text : {"401 Unauthorized", "404 Not Found", "Login Fail"}) {
        EXPECT_EQ(acceptedPage("Settings saved").find(text), std::string::npos);
        EXPECT_EQ(settingsPage(door()).find(text), std::string::npos);
    }
}
