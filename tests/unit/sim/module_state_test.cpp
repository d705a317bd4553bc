#include "module_state.h"

#include <gtest/gtest.h>

using namespace tarrowind::sim;
using namespace std::chrono_literals;

namespace {

RestartChanges withNetwork(NetworkSettings settings, std::optional<std::string> version = std::nullopt)
{
    RestartChanges changes;
    changes.network = std::move(settings);
    changes.version = std::move(version);
    return changes;
}

RestartChanges withVersion(std::optional<std::string> version)
{
    RestartChanges changes;
    changes.version = std::move(version);
    return changes;
}

RestartChanges withWeb(WebFields web)
{
    RestartChanges changes;
    changes.web = std::move(web);
    return changes;
}

RestartChanges factoryDefault()
{
    RestartChanges changes;
    changes.factoryDefault = true;
    return changes;
}

ModuleConfig reader()
{
    ModuleConfig m;
    m.kind = ModuleKind::BinaryDactyl;
    m.replyLength = 84;
    m.name = "Reader A";
    m.mac = {0x02, 0x11, 0x22, 0xFD, 0x01, 0x02};
    m.ip = 0xC0000214u;
    m.version = "V1.2R3";
    m.link = "sim0";
    m.faults.alsoOnLink = "sim1";
    return m;
}

} // namespace

TEST(ModuleRestart, SilentForTheRestartTimeThenAnswersWithNewSettings)
{
    ModuleState module(reader(), 1500ms);
    const auto t0 = Clock::now();
    EXPECT_TRUE(module.answering(t0));

    NetworkSettings settings{"Hall", true, 0xC6336414u, 0xFFFF0000u, 0xC63364FEu};
    module.restart(t0, withNetwork(settings));
    EXPECT_FALSE(module.answering(t0));
    EXPECT_FALSE(module.answering(t0 + 1499ms));
    EXPECT_TRUE(module.answering(t0 + 1500ms));
    EXPECT_EQ(module.restartCount(), 1u);

    const ModuleConfig now = module.snapshot();
    EXPECT_EQ(now.name, "Hall");
    EXPECT_TRUE(now.dhcp);
    EXPECT_EQ(now.ip, 0xC6336414u);
    EXPECT_EQ(module.ip(), 0xC6336414u);
    EXPECT_EQ(module.mask(), 0xFFFF0000u);
    EXPECT_EQ(now.gateway, 0xC63364FEu);
    EXPECT_EQ(now.version, "V1.2R3");
    EXPECT_EQ(now.mac, reader().mac); // identity stays
}

TEST(ModuleRestart, PlainRebootKeepsSettingsAndFactoryDefaultRestoresThemButNotTheFirmware)
{
    ModuleState module(reader(), 10ms);
    const auto t0 = Clock::now();
    module.restart(t0, withNetwork(NetworkSettings{"Moved", false, 0xCB00710Au, 0xFFFFFF00u, 0}, "V2.0R1"));
    module.restart(t0 + 20ms, RestartChanges{});
    EXPECT_EQ(module.snapshot().name, "Moved");
    EXPECT_EQ(module.snapshot().version, "V2.0R1");
    EXPECT_FALSE(module.answering(t0 + 25ms)); // the later restart starts a new window

    module.restart(t0 + 40ms, factoryDefault());
    EXPECT_EQ(module.snapshot().name, "Reader A");
    EXPECT_EQ(module.ip(), 0xC0000214u);
    EXPECT_EQ(module.snapshot().version, "V2.0R1"); // the firmware written meanwhile stays
    EXPECT_EQ(module.restartCount(), 3u);
}

TEST(ModuleRestart, SilentFaultNeverAnswers)
{
    ModuleConfig config = reader();
    config.faults.silent = true;
    ModuleState module(config, 0ms);
    EXPECT_FALSE(module.answering(Clock::now() + 1h));
}

TEST(ModuleLinks, PresentOnItsLinkAndTheSecondOne)
{
    ModuleState module(reader(), 0ms);
    EXPECT_TRUE(module.isOnLink("sim0"));
    EXPECT_TRUE(module.isOnLink("sim1"));
    EXPECT_FALSE(module.isOnLink("sim2"));
    EXPECT_FALSE(module.isOnLink(""));
}

TEST(ModuleTableLoad, IndexesByLinkAndReplacesAsAWhole)
{
    SimConfig config;
    config.restartSilenceMs = 40;
    config.modules.push_back(reader());
    ModuleConfig other = reader();
    other.faults.alsoOnLink.clear();
    other.link = "sim1";
    config.modules.push_back(other);

    ModuleTable table;
    table.load(config);
    const auto first = table.current();
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(first->byLink.at("sim0").size(), 1u);
    EXPECT_EQ(first->byLink.at("sim1").size(), 2u);
    EXPECT_EQ(first->byLink.at("sim1").front(), first->all.front()); // the same module, not a copy

    const auto t0 = Clock::now();
    first->all.front()->restart(t0, {});
    EXPECT_FALSE(first->all.front()->answering(t0 + 39ms));
    EXPECT_TRUE(first->all.front()->answering(t0 + 40ms));

    config.modules.pop_back();
    table.load(config);
    EXPECT_EQ(table.size(), 1u);
    EXPECT_EQ(first->all.size(), 2u); // an old holder still sees its generation
    EXPECT_TRUE(table.current()->all.front()->answering(t0)); // the file wins: runtime state is fresh
}

namespace {

ModuleConfig webModule()
{
    ModuleConfig m;
    m.kind = ModuleKind::Web;
    m.name = "Door";
    m.mac = {0x02, 0, 0, 0, 0x01, 0x01};
    m.ip = 0xC000020Au;
    m.version = "V3.10R2";
    m.link = "sim0";
    m.firmwareWriteMs = 1000;
    return m;
}

} // namespace

TEST(ModuleRestart, NeverReturningModuleStaysSilentAfterItsFirstRestart)
{
    ModuleConfig config = webModule();
    config.faults.neverReturn = true;
    ModuleState module(config, 10ms);
    const auto t0 = Clock::now();
    EXPECT_TRUE(module.answering(t0));
    EXPECT_TRUE(module.willReturn());
    module.restart(t0, {});
    EXPECT_FALSE(module.willReturn());
    EXPECT_FALSE(module.answering(t0 + 1h));
}

TEST(ModuleRestart, WebFieldsAndLoginChangeAtTheRestart)
{
    ModuleState module(webModule(), 0ms);
    EXPECT_TRUE(module.credentialsMatch("admin", "admin"));
    EXPECT_FALSE(module.credentialsMatch("admin", "Admin"));
    WebFields web = module.snapshot().web;
    web.user = "op";
    web.password = "pw";
    web.hostName = "h";
    module.restart(Clock::now(), withWeb(web));
    EXPECT_TRUE(module.credentialsMatch("op", "pw"));
    EXPECT_FALSE(module.credentialsMatch("admin", "admin"));
    EXPECT_EQ(module.snapshot().web.hostName, "h");
    module.restart(Clock::now(), factoryDefault());
    EXPECT_TRUE(module.credentialsMatch("admin", "admin"));
}

TEST(ModuleFirmware, ProgressAdvancesOverTheWriteTime)
{
    ModuleState module(webModule(), 0ms);
    const auto t0 = Clock::now();
    EXPECT_EQ(module.firmwareProgress(t0).total, 0); // nothing uploaded
    module.firmwareReceived(t0, 10 * 1024 + 1, "V9.0R0");
    EXPECT_EQ(module.firmwareProgress(t0).finish, 0);
    EXPECT_EQ(module.firmwareProgress(t0).total, 11);
    EXPECT_EQ(module.firmwareProgress(t0 + 500ms).finish, 5);
    EXPECT_EQ(module.firmwareProgress(t0 + 999ms).finish, 10);
    EXPECT_EQ(module.firmwareProgress(t0 + 1000ms).finish, 11);
    EXPECT_EQ(module.firmwareProgress(t0 + 1h).finish, 11);
    EXPECT_EQ(module.uploadedVersion(), "V9.0R0");

    // The reboot takes the image's version and forgets the upload.
    module.restart(t0 + 2s, withVersion(module.uploadedVersion()));
    EXPECT_EQ(module.snapshot().version, "V9.0R0");
    EXPECT_EQ(module.snapshot().shownEthVersion(), "V9.0R0");
    EXPECT_EQ(module.firmwareProgress(t0 + 3s).total, 0);
    EXPECT_FALSE(module.uploadedVersion());
}

TEST(ModuleFirmware, StalledAndInstantWrites)
{
    ModuleConfig stalled = webModule();
    stalled.faults.stallProgress = true;
    ModuleState stuck(stalled, 0ms);
    const auto t0 = Clock::now();
    stuck.firmwareReceived(t0, 4096, std::nullopt);
    EXPECT_EQ(stuck.firmwareProgress(t0 + 1h).finish, 0);
    EXPECT_EQ(stuck.firmwareProgress(t0 + 1h).total, 4);

    ModuleConfig instant = webModule();
    instant.firmwareWriteMs = 0;
    instant.ethVersion = "E1";
    ModuleState quick(instant, 0ms);
    quick.firmwareReceived(t0, 1, std::nullopt);
    EXPECT_EQ(quick.firmwareProgress(t0).finish, 1);
    EXPECT_EQ(quick.firmwareProgress(t0).total, 1);
    EXPECT_FALSE(quick.uploadedVersion());
    quick.restart(t0, withVersion("V2"));
    EXPECT_EQ(quick.snapshot().shownEthVersion(), "V2"); // a configured network version follows the image

    // Sizes near the top of 32 bits stay positive.
    quick.firmwareReceived(t0, std::uint64_t{1} << 45, std::nullopt);
    EXPECT_EQ(quick.firmwareProgress(t0).total, INT32_MAX);
}
