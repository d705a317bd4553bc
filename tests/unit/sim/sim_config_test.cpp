#include "sim_config.h"

#include <gtest/gtest.h>

#include <string>

using namespace tarrowind::sim;

namespace {

std::string withModule(const std::string& fields)
{
    return R"({"modules": [ { "mac": "02:00:00:00:01:01", "ip": "192.0.2.10", "link": "sim0", )" + fields + "} ]}";
}

std::string errorOf(const std::string& json)
{
    try {
        parseConfig(json);
    } catch (const ConfigError& error) {
        return error.what();
    }
    return "(accepted)";
}

} // namespace

TEST(SimConfigDefaults, ReplyLengthAndModelFollowTheKind)
{
    const SimConfig config = parseConfig(R"({"modules": [
        {"kind": "Web", "mac": "02:00:00:00:01:01", "ip": "192.0.2.10", "link": "sim0"},
        {"kind": "WebDactyl", "mac": "02:00:00:00:01:02", "ip": "192.0.2.11", "link": "sim0"},
        {"kind": "LongReply", "mac": "02:00:00:00:01:03", "ip": "192.0.2.12", "link": "sim0"},
        {"kind": "BinaryDactyl", "mac": "02:00:00:FD:01:04", "ip": "192.0.2.13", "link": "sim0",
         "version": "V1.2R3"}]})");
    ASSERT_EQ(config.modules.size(), 4u);
    EXPECT_EQ(config.restartSilenceMs, 1500u);
    EXPECT_EQ(config.modules[0].replyLength, 172u);
    EXPECT_EQ(config.modules[1].replyLength, 252u);
    EXPECT_NE(config.modules[1].model.find("QT-FP"), std::string::npos);
    EXPECT_EQ(config.modules[2].replyLength, 282u);
    EXPECT_EQ(config.modules[3].replyLength, 84u);
    EXPECT_FALSE(config.modules[3].useHttps);
    EXPECT_TRUE(config.modules[0].useHttps);
    EXPECT_EQ(config.modules[0].mask, 0xFFFFFF00u);
    EXPECT_EQ(config.modules[0].name, "Module 1");
    EXPECT_EQ(config.modules[2].name, "Module 3");
}

TEST(SimConfigDefaults, WebServerOnlyWhereTheKindHasOneAndItIsNotTurnedOff)
{
    const SimConfig config = parseConfig(R"({"modules": [
        {"kind": "Web", "mac": "02:00:00:00:01:01", "ip": "192.0.2.10", "link": "sim0"},
        {"kind": "Web", "mac": "02:00:00:00:01:02", "ip": "192.0.2.11", "link": "sim0", "webServer": false},
        {"kind": "BinaryDactyl", "mac": "02:00:00:00:01:03", "ip": "192.0.2.12", "link": "sim0"}]})");
    EXPECT_EQ(webScheme(config.modules[0]), WebScheme::Https);
    EXPECT_EQ(webScheme(config.modules[1]), WebScheme::None);
    EXPECT_EQ(webScheme(config.modules[2]), WebScheme::Http);
}

TEST(SimConfigDefaults, ReadsEveryField)
{
    const SimConfig config = parseConfig(R"({"restartSilenceMs": 250, "modules": [
        {"kind": "Web", "replyLength": 256, "model": "QT-DC410", "name": "Door 1",
         "mac": "02:00:00:00:01:01", "macText": "02-00-00-00-01-01", "ip": "192.0.2.10",
         "mask": "255.255.0.0", "gateway": "192.0.2.254", "version": "V3.10R2", "dhcp": true,
         "useHttps": false, "link": "sim0",
         "faults": {"silent": true, "delayMs": 700, "alsoOnLink": "sim1", "replyLength": 255}}]})");
    const ModuleConfig& m = config.modules.at(0);
    EXPECT_EQ(config.restartSilenceMs, 250u);
    EXPECT_EQ(m.replyLength, 256u);
    EXPECT_EQ(m.name, "Door 1");
    EXPECT_EQ(m.macText, std::optional<std::string>("02-00-00-00-01-01"));
    EXPECT_EQ(m.mask, 0xFFFF0000u);
    EXPECT_EQ(m.gateway, 0xC00002FEu);
    EXPECT_TRUE(m.dhcp);
    EXPECT_FALSE(m.useHttps);
    EXPECT_TRUE(m.faults.silent);
    EXPECT_EQ(m.faults.delayMs, 700u);
    EXPECT_EQ(m.faults.alsoOnLink, "sim1");
    EXPECT_EQ(m.faults.replyLength, 255u);
    EXPECT_EQ(linksNamed(config), (std::vector<std::string>{"sim0", "sim1"}));
}

TEST(SimConfigDefaults, ModuleWithoutLinkTakesTheDefaultLink)
{
    const auto json = R"({"modules": [{"kind": "Web", "mac": "02:00:00:00:01:01", "ip": "192.0.2.10"}]})";
    EXPECT_EQ(parseConfig(json, "sim1").modules.at(0).link, "sim1");
    EXPECT_NE(errorOf(json).find("\"link\" is required"), std::string::npos);
}

TEST(SimConfigValidation, RejectsUnknownKind)
{
    EXPECT_NE(errorOf(withModule(R"("kind": "Gate")")).find("unknown kind \"Gate\""), std::string::npos);
}

TEST(SimConfigValidation, RejectsLengthsTheKindDoesNotSend)
{
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "replyLength": 282)")).find("not allowed"), std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "WebDactyl", "replyLength": 172)")).find("not allowed"),
              std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "BinaryDactyl", "replyLength": 252)")).find("not allowed"),
              std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "LongReply", "replyLength": 256)")).find("not allowed"),
              std::string::npos);
    EXPECT_EQ(errorOf(withModule(R"("kind": "Web", "replyLength": 252)")), "(accepted)");
}

TEST(SimConfigValidation, RejectsBadAddresses)
{
    const std::string badMac = R"({"modules": [{"kind": "Web", "mac": "02:00:00:00:01", "ip": "192.0.2.10", "link": "sim0"}]})";
    EXPECT_NE(errorOf(badMac).find("bad MAC address"), std::string::npos);
    const std::string groupMac = R"({"modules": [{"kind": "Web", "mac": "01:00:5E:00:00:01", "ip": "192.0.2.10", "link": "sim0"}]})";
    EXPECT_NE(errorOf(groupMac).find("group address"), std::string::npos);
    const std::string badIp = R"({"modules": [{"kind": "Web", "mac": "02:00:00:00:01:01", "ip": "192.0.2.300", "link": "sim0"}]})";
    EXPECT_NE(errorOf(badIp).find("bad IPv4 address in \"ip\""), std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "gateway": "x")")).find("\"gateway\""), std::string::npos);
}

TEST(SimConfigValidation, KindMustMatchWhatTheReceiverReadsFromTheModel)
{
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "replyLength": 252, "model": "QT-FP-6621")")).find("WebDactyl"),
              std::string::npos);
    EXPECT_EQ(errorOf(withModule(R"("kind": "Web", "replyLength": 172, "model": "QT-FP-6621")")), "(accepted)");
    EXPECT_NE(errorOf(withModule(R"("kind": "WebDactyl", "model": "QT-DC410")")).find("QT-FP"), std::string::npos);
}

TEST(SimConfigValidation, BinaryVersionMustFitTheReplyBytes)
{
    EXPECT_NE(errorOf(withModule(R"("kind": "BinaryDactyl", "version": "V3.10")")).find("V1.2R3"), std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "BinaryDactyl", "version": "V1.256R0")")).find("V1.2R3"),
              std::string::npos);
    EXPECT_EQ(errorOf(withModule(R"("kind": "BinaryDactyl", "version": "V255.0R7")")), "(accepted)");
}

TEST(SimConfigValidation, NamesTheModuleAndCatchesMisspelledFields)
{
    const std::string error = errorOf(withModule(R"("kind": "Web", "name": "Door 9", "replyLenght": 172)"));
    EXPECT_NE(error.find("module 1 (\"Door 9\")"), std::string::npos) << error;
    EXPECT_NE(error.find("replyLenght"), std::string::npos) << error;
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "faults": {"slow": 1})")).find("faults.slow"), std::string::npos);
    EXPECT_NE(errorOf(R"({"modules": [], "extra": 1})").find("extra"), std::string::npos);
}

TEST(SimConfigValidation, RejectsWrongTypesAndBadFaults)
{
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "dhcp": "yes")")).find("true or false"), std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "faults": {"delayMs": -5})")).find("whole number"),
              std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "faults": {"badChecksum": true})")).find("BinaryDactyl only"),
              std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "faults": {"alsoOnLink": "sim0"})")).find("own link"),
              std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "faults": {"replyLength": 1500})")).find("at most 1472"),
              std::string::npos);
    EXPECT_NE(errorOf("{ not json").find("not valid JSON"), std::string::npos);
    EXPECT_NE(errorOf(R"({"modules": {}})").find("array"), std::string::npos);
    EXPECT_NE(errorOf(R"({"restartSilenceMs": -1, "modules": []})").find("restartSilenceMs"), std::string::npos);
}

TEST(SimConfigFile, MissingFileIsAConfigError)
{
    EXPECT_THROW(loadConfig("/nonexistent/dir/modules.json"), ConfigError);
}

TEST(BinaryVersionText, SplitsMajorMinorRelease)
{
    const auto version = parseBinaryVersion("V1.2R3");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->major, 1);
    EXPECT_EQ(version->minor, 2);
    EXPECT_EQ(version->release, 3);
    EXPECT_FALSE(parseBinaryVersion("1.2R3"));
    EXPECT_FALSE(parseBinaryVersion("V1.2R3x"));
    EXPECT_FALSE(parseBinaryVersion("V1.R3"));
}

TEST(SimConfigWeb, DefaultsForTheWebFields)
{
    const SimConfig config = parseConfig(withModule(R"("kind": "Web", "gateway": "192.0.2.254")"));
    const ModuleConfig& m = config.modules.at(0);
    EXPECT_EQ(m.web.user, "admin");
    EXPECT_EQ(m.web.password, "admin");
    EXPECT_EQ(m.web.dns, 0xC00002FEu); // the gateway unless given
    EXPECT_EQ(m.web.devicePort, 4000u);
    EXPECT_EQ(m.firmwareWriteMs, 1500u);
    EXPECT_FALSE(m.ethVersion);
    EXPECT_EQ(m.shownEthVersion(), m.version);
    EXPECT_EQ(webScheme(m), WebScheme::Https);
    for (std::size_t i = 0; i < kWebPageCount; ++i) {
        EXPECT_EQ(m.faults.refuse[i], Refusal::None);
        EXPECT_FALSE(m.faults.dropConnection[i]);
    }
}

TEST(SimConfigWeb, ReadsEveryWebField)
{
    const SimConfig config = parseConfig(withModule(R"("kind": "Web", "user": "op", "password": "", "dns": "8.8.4.4",
        "sendToServer": 5, "serverAddress": "203.0.113.9", "myName": "me", "ddns": 1, "hostName": "h",
        "ddnsUser": "du", "ddnsPassword": "dp", "des1": "a", "des2": "b", "des3": "c", "devicePort": 70000,
        "ethVersion": "E1", "controllerVersion": "C2 build 9", "firmwareWriteMs": 0, "useHttps": false)"));
    const ModuleConfig& m = config.modules.at(0);
    EXPECT_EQ(m.web.user, "op");
    EXPECT_EQ(m.web.password, "");
    EXPECT_EQ(m.web.dns, 0x08080404u);
    EXPECT_EQ(m.web.sendToServer, 5u);
    EXPECT_EQ(m.web.serverAddress, 0xCB007109u);
    EXPECT_EQ(m.web.myName, "me");
    EXPECT_EQ(m.web.ddns, 1u);
    EXPECT_EQ(m.web.hostName, "h");
    EXPECT_EQ(m.web.ddnsUser, "du");
    EXPECT_EQ(m.web.ddnsPassword, "dp");
    EXPECT_EQ(m.web.des, (std::array<std::string, 3>{"a", "b", "c"}));
    EXPECT_EQ(m.web.devicePort, 70000u);
    EXPECT_EQ(m.shownEthVersion(), "E1");
    EXPECT_EQ(m.controllerVersion, "C2 build 9");
    EXPECT_EQ(m.firmwareWriteMs, 0u);
    EXPECT_EQ(webScheme(m), WebScheme::Http);
}

TEST(SimConfigWeb, ReadersServePlainHttpAndLongReplyNone)
{
    const SimConfig config = parseConfig(R"({"modules": [
        {"kind": "BinaryDactyl", "mac": "02:00:00:FD:01:04", "ip": "192.0.2.13", "link": "sim0"},
        {"kind": "LongReply", "mac": "02:00:00:00:01:03", "ip": "192.0.2.12", "link": "sim0"}]})");
    EXPECT_EQ(webScheme(config.modules[0]), WebScheme::Http);
    EXPECT_EQ(webScheme(config.modules[1]), WebScheme::None);
}

TEST(SimConfigWeb, FaultSwitches)
{
    const SimConfig config = parseConfig(withModule(R"("kind": "WebDactyl", "faults": {
        "refuse": ["Other404", "Hidden", "Upload"], "dropConnection": ["Progress", "Config"],
        "neverReturn": true, "httpDelayMs": 250, "oversizedBody": true, "noTotal": true, "stallProgress": true,
        "busySettingsPage": true, "keepVersion": true})"));
    const FaultConfig& f = config.modules.at(0).faults;
    EXPECT_EQ(f.refusal(WebPage::Other), Refusal::NotFound);
    EXPECT_EQ(f.refusal(WebPage::Hidden), Refusal::Unauthorized);
    EXPECT_EQ(f.refusal(WebPage::Upload), Refusal::Unauthorized);
    EXPECT_EQ(f.refusal(WebPage::Reboot), Refusal::None);
    EXPECT_TRUE(f.drops(WebPage::Progress));
    EXPECT_TRUE(f.drops(WebPage::Config));
    EXPECT_FALSE(f.drops(WebPage::Hidden));
    EXPECT_TRUE(f.neverReturn);
    EXPECT_EQ(f.httpDelayMs, 250u);
    EXPECT_TRUE(f.oversizedBody);
    EXPECT_TRUE(f.noTotal);
    EXPECT_TRUE(f.stallProgress);
    EXPECT_TRUE(f.busySettingsPage);
    EXPECT_TRUE(f.keepVersion);

    const SimConfig reader = parseConfig(R"({"modules": [{"kind": "BinaryDactyl", "mac": "02:00:00:FD:01:04",
        "ip": "192.0.2.13", "link": "sim0", "faults": {"refuse": ["Login"], "dropConnection": ["Login"]}}]})");
    EXPECT_EQ(reader.modules[0].faults.refusal(WebPage::Login), Refusal::LoginFail);
    EXPECT_TRUE(reader.modules[0].faults.drops(WebPage::Login));
}

TEST(SimConfigWeb, RejectsBadWebFieldsClearly)
{
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "faults": {"refuse": ["Hiden"]})")).find("unknown page \"Hiden\""),
              std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "faults": {"refuse": ["Login"]})")).find("has no page \"Login\""),
              std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "faults": {"refuse": ["Hidden", "Hidden404"]})")).find("twice"),
              std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "faults": {"refuse": "Hidden"})")).find("array of page names"),
              std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "faults": {"dropConnection": [1]})")).find("array of page names"),
              std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "faults": {"httpDelayMs": 600001})")).find("at most 600000"),
              std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "firmwareWriteMs": -1)")).find("firmwareWriteMs"),
              std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "dns": "1.2.3")")).find("bad IPv4 address in \"dns\""),
              std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "user": "a:b")")).find("cannot hold ':'"), std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "password": 5)")).find("\"password\" must be a string"),
              std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "Web", "faults": {"noTotl": true})")).find("unknown field \"faults.noTotl\""),
              std::string::npos);
    EXPECT_NE(errorOf(withModule(R"("kind": "LongReply", "faults": {"httpDelayMs": 5})")).find("no web server"),
              std::string::npos);
    EXPECT_NE(errorOf(R"({"modules": [{"kind": "BinaryDactyl", "mac": "02:00:00:FD:01:04", "ip": "192.0.2.13",
        "link": "sim0", "faults": {"noTotal": true}}]})").find("login page"), std::string::npos);
}
