#include "config_form.h"

#include <gtest/gtest.h>

using namespace tarrowind::sim;

namespace {

ModuleConfig door()
{
    ModuleConfig m;
    m.kind = ModuleKind::Web;
    m.name = "Door 1";
    m.mac = {0x02, 0, 0, 0, 0x01, 0x01};
    m.ip = 0xC000020Au;
    m.mask = 0xFFFFFF00u;
    m.gateway = 0xC00002FEu;
    m.version = "V3.10R2";
    m.link = "sim0";
    m.web.dns = 0xC00002FEu;
    m.web.myName = "door";
    return m;
}

FormFields form(std::string_view body)
{
    auto parsed = parseForm(body);
    EXPECT_TRUE(parsed);
    return parsed ? *parsed : FormFields{};
}

const std::string kSettings =
    "Reboot=0&Default=0&MachName=Hall%20east&EnableDHCP=1&IpAddress=198.51.100.40&SubnetMask=255.255.0.0"
    "&DefaultGateway=198.51.100.254&DNServer=198.51.100.53&SendtoServer=2&DDNS=1&ServerAddress=203.0.113.5"
    "&MyName=hall&HostName=hall.example&UserName=dd&DDNSPasswd=pw&3Des1=AAAA&3Des2=BBBB&3Des3=CCCC"
    "&DevicePort=5000&LoginChange=0&Submit=Submit\r\n";

} // namespace

TEST(ConfigForm, RebootAndDefaultCarryNoSettings)
{
    FormOutcome outcome = applyConfigForm(form("Reboot=1&Default=0&Submit=Submit\r\n"), door());
    EXPECT_EQ(outcome.action, FormAction::Reboot);
    EXPECT_FALSE(outcome.changes.factoryDefault);
    EXPECT_FALSE(outcome.changes.network);
    EXPECT_FALSE(outcome.changes.web);

    outcome = applyConfigForm(form("Reboot=0&Default=1&Submit=Submit\r\n"), door());
    EXPECT_EQ(outcome.action, FormAction::FactoryDefault);
    EXPECT_TRUE(outcome.changes.factoryDefault);
    EXPECT_FALSE(outcome.changes.network);

    // Both set: the module goes back to its defaults, which restarts it anyway.
    outcome = applyConfigForm(form("Reboot=1&Default=1&MachName=x&Submit=Submit\r\n"), door());
    EXPECT_EQ(outcome.action, FormAction::FactoryDefault);
    EXPECT_FALSE(outcome.changes.network);
}

TEST(ConfigForm, SettingsReplaceEveryField)
{
    const FormOutcome outcome = applyConfigForm(form(kSettings), door());
    EXPECT_EQ(outcome.action, FormAction::Settings);
    EXPECT_TRUE(outcome.ignored.empty());
    ASSERT_TRUE(outcome.changes.network);
    ASSERT_TRUE(outcome.changes.web);
    const NetworkSettings& n = *outcome.changes.network;
    EXPECT_EQ(n.name, "Hall east");
    EXPECT_TRUE(n.dhcp);
    EXPECT_EQ(n.ip, 0xC6336428u);
    EXPECT_EQ(n.mask, 0xFFFF0000u);
    EXPECT_EQ(n.gateway, 0xC63364FEu);
    const WebFields& w = *outcome.changes.web;
    EXPECT_EQ(w.dns, 0xC6336435u);
    EXPECT_EQ(w.sendToServer, 2u);
    EXPECT_EQ(w.ddns, 1u);
    EXPECT_EQ(w.serverAddress, 0xCB007105u);
    EXPECT_EQ(w.myName, "hall");
    EXPECT_EQ(w.hostName, "hall.example");
    EXPECT_EQ(w.ddnsUser, "dd");
    EXPECT_EQ(w.ddnsPassword, "pw");
    EXPECT_EQ(w.des[0], "AAAA");
    EXPECT_EQ(w.des[1], "BBBB");
    EXPECT_EQ(w.des[2], "CCCC");
    EXPECT_EQ(w.devicePort, 5000u);
    EXPECT_EQ(w.user, "admin"); // LoginChange=0 keeps the login
    EXPECT_EQ(w.password, "admin");
}

TEST(ConfigForm, LoginChangesOnlyWithItsFlag)
{
    FormOutcome outcome = applyConfigForm(
        form("Reboot=0&Default=0&LoginChange=0&LoginName=new&AdminPasswd=secret&Submit=Submit\r\n"), door());
    EXPECT_EQ(outcome.changes.web->user, "admin");
    outcome = applyConfigForm(
        form("Reboot=0&Default=0&LoginChange=1&LoginName=new&AdminPasswd=secret&Submit=Submit\r\n"), door());
    EXPECT_EQ(outcome.changes.web->user, "new");
    EXPECT_EQ(outcome.changes.web->password, "secret");
    // An empty new password is a password too.
    outcome = applyConfigForm(form("LoginChange=1&LoginName=x&AdminPasswd=&Submit=Submit\r\n"), door());
    EXPECT_EQ(outcome.changes.web->password, "");
}

TEST(ConfigForm, MissingFieldsKeepTheirValuesAndUnreadableOnesAreReported)
{
    const FormOutcome outcome =
        applyConfigForm(form("Reboot=0&Default=0&IpAddress=192.0.2.300&DevicePort=-1&SendtoServer=5"
                             "&EnableDHCP=yes&Submit=Submit\r\n"),
                        door());
    ASSERT_TRUE(outcome.changes.network);
    EXPECT_EQ(outcome.changes.network->ip, door().ip);
    EXPECT_EQ(outcome.changes.network->name, "Door 1");
    EXPECT_FALSE(outcome.changes.network->dhcp);
    EXPECT_EQ(outcome.changes.web->devicePort, 4000u);
    EXPECT_EQ(outcome.changes.web->sendToServer, 5u); // stored as sent; the reader corrects it
    EXPECT_EQ(outcome.changes.web->myName, "door");
    EXPECT_EQ(outcome.ignored, (std::vector<std::string>{"EnableDHCP", "IpAddress", "DevicePort"}));
}

TEST(ConfigForm, AppliedByARestart)
{
    ModuleState module(door(), std::chrono::milliseconds(100));
    const auto t0 = Clock::now();
    module.restart(t0, applyConfigForm(form(kSettings), module.snapshot()).changes);
    EXPECT_FALSE(module.answering(t0 + std::chrono::milliseconds(99)));
    EXPECT_TRUE(module.answering(t0 + std::chrono::milliseconds(100)));
    EXPECT_EQ(module.ip(), 0xC6336428u);
    EXPECT_EQ(module.snapshot().web.hostName, "hall.example");

    module.restart(t0, applyConfigForm(form("Reboot=0&Default=1&Submit=Submit\r\n"), module.snapshot()).changes);
    EXPECT_EQ(module.ip(), door().ip);
    EXPECT_EQ(module.snapshot().web, door().web);
    EXPECT_EQ(module.snapshot().name, "Door 1");
}
