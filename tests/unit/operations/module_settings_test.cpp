#include <gtest/gtest.h>

#include "operations/module_settings.h"
#include "operations/page_variables.h"
#include "tests/unit/operations/operations_fixture.h"

namespace tarrowind {
namespace {

using testing::Answer;
using testing::FakeHttpClient;
using testing::Ip;

constexpr const char* kPage = R"(<script>
var va_machname = 'Door 'A' 1';
var va_EnableDHCP = 5;
var va_IpAddr = '192.0.2.10';
var va_NetMask = '255.255.255.0';
var va_Gateway = '192.0.2.254';
var va_DNServer = '192.0.2.53';
var va_SendtoServer = 5;
var va_ServerAddress = '192.0.2.200';
var va_MyName = 'me';
var va_ddns = 3;
var va_HostName = 'host.example';
var va_UserName = 'du';
var va_DDNSPasswd = 'dp';
var va_3Des1 = '0123';
var va_3Des2 = '4567';
var va_3Des3 = '89AB';
var va_DevicePort = '1025';
var va_Mac = '02:11:2a:0a:0b:0c';
var va_EthVer = 'E1.0 beta';
var va_DC4Ver = 'V1.2.3 build 7';
var va_machname = 'Second';
</script>)";

TEST(SettingsPage, ReadsEveryVariableWithItsCorrection)
{
    ModuleSettings s;
    ParseModuleSettingsPage(kPage, s);
    EXPECT_EQ(s.machineName, "Door 'A' 1");  // an apostrophe without ";" does not end the text
    EXPECT_EQ(s.dhcp, 1);
    EXPECT_EQ(s.ip, Ip(192, 0, 2, 10));
    EXPECT_EQ(s.mask, Ip(255, 255, 255, 0));
    EXPECT_EQ(s.gateway, Ip(192, 0, 2, 254));
    EXPECT_EQ(s.dns, Ip(192, 0, 2, 53));
    EXPECT_EQ(s.sendToServer, 2u);
    EXPECT_EQ(s.serverAddress, Ip(192, 0, 2, 200));
    EXPECT_EQ(s.myName, "me");
    EXPECT_EQ(s.ddnsType, 0u);
    EXPECT_EQ(s.hostName, "host.example");
    EXPECT_EQ(s.ddnsUserName, "du");
    EXPECT_EQ(s.ddnsPassword, "dp");
    EXPECT_EQ(s.des1 + s.des2 + s.des3, "0123456789AB");
    EXPECT_EQ(s.devicePort, 1025u);
    EXPECT_EQ(s.macText, "02:11:2A:0A:0B:0C");
    EXPECT_EQ(s.ethVersion, "E1.0 beta");
    EXPECT_EQ(s.controllerVersion, "V1.2.3");
}

TEST(SettingsPage, NumbersAreCorrectedAsUnsignedValues)
{
    const auto parse = [](const std::string& line) {
        ModuleSettings s;
        ParseModuleSettingsPage(line, s);
        return s;
    };
    const std::pair<const char*, std::uint32_t> ports[] = {
        {"'80'", 4000}, {"'70000'", 4000}, {"'1024'", 4000}, {"'1025'", 1025}, {"'65535'", 65535},
        {"'65536'", 4000}, {"'-1'", 4000}, {"''", 4000}, {"' 4001x'", 4001}, {"4001", 4000},
    };
    for (const auto& [text, port] : ports) {
        EXPECT_EQ(parse(std::string("var va_DevicePort = ") + text + ";").devicePort, port) << text;
    }
    const std::pair<const char*, std::uint32_t> modes[] = {{"1", 1}, {"2", 2}, {"3", 2}, {"-1", 2}, {" +1 ", 1}};
    for (const auto& [text, mode] : modes) {
        EXPECT_EQ(parse(std::string("var va_SendtoServer = ") + text + ";").sendToServer, mode) << text;
    }
    const std::pair<const char*, std::uint32_t> ddns[] = {{"0", 0}, {"1", 1}, {"2", 0}, {"-1", 0}};
    for (const auto& [text, type] : ddns) {
        EXPECT_EQ(parse(std::string("var va_ddns = ") + text + ";").ddnsType, type) << text;
    }
    EXPECT_EQ(parse("var va_EnableDHCP = -2;").dhcp, 1);
    EXPECT_EQ(parse("var va_EnableDHCP = 0;").dhcp, 0);
    // Missing or unreadable variables give empty texts, 0, and all bits set for addresses.
    const ModuleSettings none = parse("var va_IpAddr = ''; var va_NetMask = 'x'; var va_machname = Door;");
    EXPECT_EQ(none.ip, 0xFFFFFFFFu);
    EXPECT_EQ(none.mask, 0xFFFFFFFFu);
    EXPECT_EQ(none.gateway, 0xFFFFFFFFu);
    EXPECT_EQ(none.machineName, "");
    EXPECT_EQ(none.dhcp, 0);
    EXPECT_EQ(none.devicePort, 4000u);
    EXPECT_EQ(parse("var va_machname = 'unterminated").machineName, "");
}

TEST(PageVariables, NumberFormReadsLikeScanfUpToTheSemicolon)
{
    EXPECT_EQ(NumberVariable("var n = 12;", "var n = "), 12);
    EXPECT_EQ(NumberVariable("var n =  -7x;", "var n = "), -7);
    EXPECT_EQ(NumberVariable("var n = 99999999999;", "var n = "), 2147483647);
    EXPECT_EQ(NumberVariable("var n = -99999999999;", "var n = "), -2147483647 - 1);
    EXPECT_EQ(NumberVariable("var n = 12", "var n = "), 0);
    EXPECT_EQ(NumberVariable("var n = ;5;", "var n = "), 0);
    EXPECT_EQ(NumberVariable("var m = 3;", "var n = "), 0);
    EXPECT_EQ(TextVariable("var t = 'a';'b';", "var t = "), "a");
    EXPECT_EQ(TextVariable("var t = '';", "var t = "), "");
}

struct SettingsExchange : ::testing::Test {
    FakeHttpClient http;
    DeviceRecord record;
    ModuleSettings settings;
    SettingsExchange()
    {
        record.ipText = "192.0.2.10";
        record.userName = "admin";
        record.password = "secret";
        record.useHttps = 0;
        settings.target = HttpTarget::ForRecord(record);
        settings.machineName = "kept";
        settings.devicePort = 5000;
    }
};

TEST_F(SettingsExchange, ReadGetsTheHiddenPageAndLeavesFieldsOnRefusalOrEmptyAnswer)
{
    http.handler = [](const HttpRequest&) { return Answer(kPage); };
    EXPECT_EQ(ReadModuleSettings(&settings, http), kHttpSuccess);
    EXPECT_EQ(settings.machineName, "Door 'A' 1");
    const auto r = http.Requests().at(0).request;
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.path, "/Eng/Hidden.htm");
    EXPECT_TRUE(r.basicAuth);
    EXPECT_EQ(r.user, "admin");
    EXPECT_EQ(r.password, "secret");
    EXPECT_EQ(r.port, 80);

    const std::pair<HttpResult, std::int32_t> untouched[] = {
        {Answer(std::string(kPage) + "401 Unauthorized"), kHttpCredentialsRefused},
        {Answer("404 Not Found" + std::string(kPage)), kHttpRefused},
        {Answer("404 Not Found 401 Unauthorized"), kHttpCredentialsRefused},
        {Answer(""), kHttpPageIncomplete},
        {Answer("<html><body>503 Service busy, try again later</body></html>", 503), kHttpPageIncomplete},
        {HttpResult{7, 0, kPage}, 7},
    };
    for (const auto& [answer, expected] : untouched) {
        settings.machineName = "kept";
        settings.devicePort = 5000;
        http.handler = [&](const HttpRequest&) { return answer; };
        EXPECT_EQ(ReadModuleSettings(&settings, http), expected) << answer.body;
        EXPECT_EQ(settings.machineName, "kept");
        EXPECT_EQ(settings.devicePort, 5000u);
    }
    EXPECT_EQ(ReadModuleSettings(nullptr, http), kHttpNoTarget);
}

TEST_F(SettingsExchange, APageLackingAnyPostedValueIsIncompleteAndLeavesEveryField)
{
    const auto without = [](std::string page, const std::string& key) {
        for (std::size_t at = page.find(key); at != std::string::npos; at = page.find(key)) {
            page.replace(at, key.size(), "var va_gone = ");
        }
        return page;
    };
    const char* posted[] = {"machname", "EnableDHCP", "IpAddr", "NetMask", "Gateway", "DNServer",
                            "SendtoServer", "ServerAddress", "MyName", "ddns", "HostName", "UserName",
                            "DDNSPasswd", "3Des1", "3Des2", "3Des3", "DevicePort"};
    std::vector<std::string> pages;
    for (const char* name : posted) {
        pages.push_back(without(kPage, std::string("var va_") + name + " = "));
    }
    // Present but unreadable: an address that is none, a port without digits, a number without one.
    pages.push_back(without(kPage, "var va_IpAddr = ") + "var va_IpAddr = '';");
    pages.push_back(without(kPage, "var va_Gateway = ") + "var va_Gateway = 'busy';");
    pages.push_back(without(kPage, "var va_DevicePort = ") + "var va_DevicePort = 'x';");
    pages.push_back(without(kPage, "var va_EnableDHCP = ") + "var va_EnableDHCP = ;");
    pages.push_back(without(kPage, "var va_3Des2 = ") + "var va_3Des2 = 'unterminated");
    for (const std::string& page : pages) {
        settings.machineName = "kept";
        settings.ip = Ip(198, 51, 100, 1);
        http.handler = [&](const HttpRequest&) { return Answer(page); };
        EXPECT_EQ(ReadModuleSettings(&settings, http), kHttpPageIncomplete) << page;
        EXPECT_EQ(settings.machineName, "kept");
        EXPECT_EQ(settings.ip, Ip(198, 51, 100, 1));
    }
    // The values only shown are not posted: a page without them is read.
    for (const char* shown : {"Mac", "EthVer", "DC4Ver"}) {
        const std::string page = without(kPage, std::string("var va_") + shown + " = ");
        http.handler = [&](const HttpRequest&) { return Answer(page); };
        EXPECT_EQ(ReadModuleSettings(&settings, http), kHttpSuccess) << shown;
    }
    EXPECT_EQ(SettingsFailureStatus(kHttpPageIncomplete), kStatusSettingsUnreadable);
    EXPECT_EQ(SettingsFailureStatus(kHttpRefused), kStatusSettingFailed);
}

TEST_F(SettingsExchange, RestartRequestsCarryOnlyTheirFlags)
{
    settings.newLoginName = "other";
    settings.reboot = 7;
    EXPECT_EQ(ModuleSettingsForm(settings), "Reboot=1&Default=0&Submit=Submit\r\n");
    settings.reboot = 0;
    settings.restoreDefault = 1;
    EXPECT_EQ(ModuleSettingsForm(settings), "Reboot=0&Default=1&Submit=Submit\r\n");
}

TEST_F(SettingsExchange, FormEscapesEveryTextAndCorrectsTheNumbers)
{
    settings.machineName = "Door 1\xC3\xA9 50%";
    settings.dhcp = 5;
    settings.ip = Ip(192, 0, 2, 10);
    settings.mask = Ip(255, 255, 255, 0);
    settings.gateway = Ip(192, 0, 2, 254);
    settings.dns = Ip(192, 0, 2, 53);
    settings.sendToServer = 7;
    settings.serverAddress = Ip(192, 0, 2, 200);
    settings.myName = "me";
    settings.ddnsType = 5;
    settings.hostName = "h?x";
    settings.ddnsUserName = "u@x";
    settings.ddnsPassword = "p&w=d";
    settings.des1 = "a=b";
    settings.des2 = "&";
    settings.des3 = "#+";
    settings.devicePort = 80;
    settings.newLoginName = "admin";
    settings.newAdminPassword = "secret";
    EXPECT_EQ(ModuleSettingsForm(settings),
              "Reboot=0&Default=0&MachName=Door%201%c3%a9%2050%&EnableDHCP=1&IpAddress=192.0.2.10"
              "&SubnetMask=255.255.255.0&DefaultGateway=192.0.2.254&DNServer=192.0.2.53&SendtoServer=2&DDNS=0"
              "&ServerAddress=192.0.2.200&MyName=me&HostName=h%3fx&UserName=u%40x&DDNSPasswd=p%26w%3dd"
              "&3Des1=a%3db&3Des2=%26&3Des3=%23%2b&DevicePort=4000&LoginChange=0&Submit=Submit\r\n");
}

TEST_F(SettingsExchange, LoginFieldsFollowOnlyAChangedLogin)
{
    const auto tail = [this] {
        const std::string form = ModuleSettingsForm(settings);
        return form.substr(form.find("&LoginChange="));
    };
    settings.newLoginName = "admin";
    settings.newAdminPassword = "secret";
    EXPECT_EQ(tail(), "&LoginChange=0&Submit=Submit\r\n");
    settings.newAdminPassword = "n&w=1";
    EXPECT_EQ(tail(), "&LoginChange=1&LoginName=admin&AdminPasswd=n%26w%3d1&Submit=Submit\r\n");
    settings.newLoginName = "Admin";
    settings.newAdminPassword = "secret";
    EXPECT_EQ(tail(), "&LoginChange=1&LoginName=Admin&AdminPasswd=secret&Submit=Submit\r\n");
}

TEST_F(SettingsExchange, WritePostsTheFormAloneAndHeedsOnlyARefusedPassword)
{
    settings.reboot = 1;
    http.handler = [](const HttpRequest&) { return Answer("401 Unauthorized", 401); };
    EXPECT_EQ(WriteModuleSettings(&settings, http), kHttpCredentialsRefused);
    http.handler = [](const HttpRequest&) { return Answer("404 Not Found", 404); };
    EXPECT_EQ(WriteModuleSettings(&settings, http), kHttpSuccess);
    const auto sent = http.Requests().at(0);
    EXPECT_EQ(sent.request.method, "POST");
    EXPECT_EQ(sent.request.path, "/ConfigHidden");
    EXPECT_TRUE(sent.request.hasBody);
    EXPECT_EQ(sent.body, "Reboot=1&Default=0&Submit=Submit\r\n");
    EXPECT_TRUE(sent.request.headers.empty());
    EXPECT_TRUE(sent.request.basicAuth);
    EXPECT_EQ(sent.request.user, "admin");
    http.handler = [](const HttpRequest&) { return HttpResult{56, 0, {}}; };
    EXPECT_EQ(WriteModuleSettings(&settings, http), 56);
    EXPECT_EQ(WriteModuleSettings(nullptr, http), kHttpNoTarget);
    EXPECT_EQ(http.Requests().size(), 3u);
}

}  // namespace
}  // namespace tarrowind
