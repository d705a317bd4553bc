#include "module_state.h"

#include <gtest/gtest.h>

using namespace tarrowind::sim;
using namespace std::chrono_literals;

namespace {

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
    module.restart(t0, RestartChanges{false, settings, {}});
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

TEST(ModuleRestart, PlainRebootKeepsSettingsAndFactoryDefaultRestoresThem)
{
    ModuleState module(reader(), 10ms);
    const auto t0 = Clock::now();
    module.restart(t0, RestartChanges{false, NetworkSettings{"Moved", false, 0xCB00710Au, 0xFFFFFF00u, 0}, "V2.0R1"});
    module.restart(t0 + 20ms, RestartChanges{});
    EXPECT_EQ(module.snapshot().name, "Moved");
    EXPECT_EQ(module.snapshot().version, "V2.0R1");
    EXPECT_FALSE(module.answering(t0 + 25ms)); // the later restart starts a new window

    module.restart(t0 + 40ms, RestartChanges{true, {}, {}});
    EXPECT_EQ(module.snapshot().name, "Reader A");
    EXPECT_EQ(module.ip(), 0xC0000214u);
    EXPECT_EQ(module.snapshot().version, "V1.2R3");
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
