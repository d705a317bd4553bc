#include "discovery/static_arp.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "discovery/module_search.h"
#include "tests/unit/fakes/fake_network.h"
#include "tests/unit/fakes/reply_bytes.h"

namespace tarrowind {
namespace {

using testing::FakeNeighbourTable;
using testing::Ip;

DeviceRecord Module(std::uint32_t adapterIndex, std::uint32_t ip)
{
    DeviceRecord r;
    r.adapterIndex = adapterIndex;
    r.ip = ip;
    r.mac = {0x02, 0, 0, 0, 0, 0x07};
    return r;
}

TEST(StaticArp, AddRemembersOnePairPerModuleAndRemoveForgetsIt)
{
    FakeNeighbourTable table;
    StaticArpSet arp(table);
    const DeviceRecord m = Module(3, Ip(192, 0, 2, 7));
    arp.AddStaticArp(m);
    arp.AddStaticArp(m);
    EXPECT_EQ(arp.Entries(), (std::set<std::uint64_t>{StaticArpSet::Key(3, Ip(192, 0, 2, 7))}));
    EXPECT_EQ(table.entries.at({3, m.ip}).kind, NeighbourKind::Permanent);
    EXPECT_EQ(table.entries.at({3, m.ip}).mac, m.mac);
    arp.RemoveStaticArp(m);
    EXPECT_TRUE(arp.Entries().empty());
    EXPECT_TRUE(table.entries.empty());
}

TEST(StaticArp, BroadcastAdapterGetsNoEntry)
{
    FakeNeighbourTable table;
    StaticArpSet arp(table);
    arp.AddStaticArp(Module(kBroadcastAdapterIndex, Ip(203, 0, 113, 5)));
    EXPECT_TRUE(arp.Entries().empty());
    EXPECT_TRUE(table.entries.empty());
}

TEST(StaticArp, DynamicEntriesAreReplacedAndDeletedButTheUsersOwnSurvive)
{
    FakeNeighbourTable table;
    StaticArpSet arp(table);
    const DeviceRecord learnt = Module(3, Ip(192, 0, 2, 8));
    const DeviceRecord configured = Module(3, Ip(192, 0, 2, 9));
    table.entries[{3, learnt.ip}] = {{9, 9, 9, 9, 9, 9}, NeighbourKind::Dynamic};
    table.entries[{3, configured.ip}] = {{1, 1, 1, 1, 1, 1}, NeighbourKind::Permanent};

    arp.AddStaticArp(learnt);
    arp.AddStaticArp(configured);
    EXPECT_EQ(table.entries.at({3, learnt.ip}).mac, learnt.mac);
    EXPECT_EQ(table.entries.at({3, configured.ip}).mac, (std::array<std::uint8_t, 6>{1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(arp.Entries(), (std::set<std::uint64_t>{StaticArpSet::Key(3, learnt.ip)}));

    arp.RemoveStaticArp(configured);
    arp.RemoveAllStaticArp();
    EXPECT_EQ(table.entries.count({3, learnt.ip}), 0u);
    EXPECT_EQ(table.entries.count({3, configured.ip}), 1u);

    // A dynamic entry that this program never made is still deleted.
    const DeviceRecord other = Module(4, Ip(198, 51, 100, 3));
    table.entries[{4, other.ip}] = {{5, 5, 5, 5, 5, 5}, NeighbourKind::Dynamic};
    arp.RemoveStaticArp(other);
    EXPECT_EQ(table.entries.count({4, other.ip}), 0u);
}

TEST(StaticArp, RemoveAllWithNothingMadeMakesNoSystemCall)
{
    FakeNeighbourTable table;
    StaticArpSet arp(table);
    arp.RemoveAllStaticArp();
    EXPECT_EQ(table.calls, 0);
}

TEST(StaticArp, AnOtherwiseFailedEntryIsTriedAgainButARefusedRightEndsTheTriesAndIsToldOnce)
{
    FakeNeighbourTable table;
    int notices = 0;
    StaticArpSet arp(table, [&] { ++notices; });
    const DeviceRecord a = Module(3, Ip(192, 0, 2, 7));
    const DeviceRecord b = Module(3, Ip(192, 0, 2, 8));
    table.refuseChanges = true;
    arp.AddStaticArp(a);
    EXPECT_FALSE(arp.Refused());
    table.refuseChanges = false;
    arp.AddStaticArp(a);
    EXPECT_EQ(arp.Entries().size(), 1u);

    table.normalUser = true;
    arp.AddStaticArp(b);
    EXPECT_TRUE(arp.Refused());
    EXPECT_EQ(notices, 1);
    const int calls = table.calls;
    arp.AddStaticArp(b);
    arp.AddStaticArp(a);
    EXPECT_EQ(table.calls, calls) << "no entry is tried once the right was refused";
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(arp.Entries(), (std::set<std::uint64_t>{StaticArpSet::Key(3, a.ip)}));
}

TEST(StaticArp, TheSearchTellsItsProgressWindowOfTheRefusal)
{
    struct Window final : CoreEvents {
        int notices = 0;
        void OnNeighbourEntriesRefused() override { ++notices; }
    } window;
    FakeNeighbourTable table;
    table.normalUser = true;
    SearchServices services;
    services.neighbours = &table;
    ModuleSearch search(services);
    search.Init(&window, nullptr);
    search.AddStaticArp(Module(3, Ip(192, 0, 2, 7)));
    search.AddStaticArp(Module(3, Ip(192, 0, 2, 8)));
    EXPECT_EQ(window.notices, 1);
    EXPECT_TRUE(search.StaticArp().Entries().empty());
}

TEST(StaticArp, EntryWhoseDeleteFailedGoesWhenTheSearchEnds)
{
    FakeNeighbourTable table;
    const DeviceRecord m = Module(3, Ip(192, 0, 2, 7));
    {
        SearchServices services;
        services.neighbours = &table;
        ModuleSearch search(services);
        search.AddStaticArp(m);
        table.refuseChanges = true;
        search.RemoveStaticArp(m);
        EXPECT_EQ(search.StaticArp().Entries().size(), 1u);
        table.refuseChanges = false;
    }
    EXPECT_TRUE(table.entries.empty());
}

// Notes in memory, and what the table held when each note was taken.
struct MemoryRegistry final : NeighbourRegistry {
    FakeNeighbourTable* table = nullptr;
    std::vector<MadeNeighbourEntry> notes;
    std::vector<std::uint64_t> ended;  // processes whose notes a sweep hands over
    bool full = false;
    bool entryExistedWhenNoted = false;

    bool Note(std::uint32_t i, std::uint32_t a, const std::array<std::uint8_t, 6>& mac) override
    {
        entryExistedWhenNoted = entryExistedWhenNoted || table->entries.count({i, a}) != 0;
        if (full) {
            return false;
        }
        Forget(i, a);
        notes.push_back({i, a, mac, 1, 0});
        return true;
    }
    void Forget(std::uint32_t i, std::uint32_t a) override
    {
        std::erase_if(notes, [&](const MadeNeighbourEntry& e) { return e.process == 1 && e.interfaceIndex == i && e.address == a; });
    }
    void SweepAbandoned(const std::function<void(const MadeNeighbourEntry&)>& remove) override
    {
        std::erase_if(notes, [&](const MadeNeighbourEntry& e) {
            const bool gone = std::find(ended.begin(), ended.end(), e.process) != ended.end();
            if (gone) {
                remove(e);
            }
            return gone;
        });
    }
};

TEST(StaticArp, EntriesAreNotedBeforeTheyAreMadeAndForgottenOnceRemoved)
{
    FakeNeighbourTable table;
    MemoryRegistry registry;
    registry.table = &table;
    StaticArpSet arp(table, {}, &registry);
    const DeviceRecord a = Module(3, Ip(192, 0, 2, 7));
    const DeviceRecord b = Module(3, Ip(192, 0, 2, 8));
    arp.AddStaticArp(a);
    arp.AddStaticArp(b);
    EXPECT_FALSE(registry.entryExistedWhenNoted);
    EXPECT_EQ(registry.notes.size(), 2u);
    arp.RemoveStaticArp(a);
    ASSERT_EQ(registry.notes.size(), 1u);
    EXPECT_EQ(registry.notes[0].address, b.ip);

    // A failed entry leaves no note; one that cannot be noted is not made.
    table.refuseChanges = true;
    arp.AddStaticArp(a);
    EXPECT_EQ(registry.notes.size(), 1u);
    table.refuseChanges = false;
    registry.full = true;
    arp.AddStaticArp(a);
    EXPECT_EQ(table.entries.count({3, a.ip}), 0u);
    registry.full = false;

    arp.RemoveAllStaticArp();
    EXPECT_TRUE(registry.notes.empty());
    EXPECT_TRUE(table.entries.empty());
}

TEST(StaticArp, WhatAKilledRunLeftIsRemovedOnlyWhileTheTableHoldsItAsMade)
{
    FakeNeighbourTable table;
    MemoryRegistry registry;
    registry.table = &table;
    const std::array<std::uint8_t, 6> killedMac{2, 0, 0, 0, 0, 0x41};
    const std::array<std::uint8_t, 6> usersMac{2, 0, 0, 0, 0, 0x42};
    // A killed run (process 9) made three entries; since then the user configured the second address
    // anew, and the system learnt the third.
    registry.notes = {{3, Ip(192, 0, 2, 41), killedMac, 9, 0},
                      {3, Ip(192, 0, 2, 42), killedMac, 9, 0},
                      {3, Ip(192, 0, 2, 43), killedMac, 9, 0},
                      {3, Ip(192, 0, 2, 44), killedMac, 10, 0}};  // a run still going
    table.entries[{3, Ip(192, 0, 2, 41)}] = {killedMac, NeighbourKind::Permanent};
    table.entries[{3, Ip(192, 0, 2, 42)}] = {usersMac, NeighbourKind::Permanent};
    table.entries[{3, Ip(192, 0, 2, 43)}] = {killedMac, NeighbourKind::Dynamic};
    table.entries[{3, Ip(192, 0, 2, 44)}] = {killedMac, NeighbourKind::Permanent};
    registry.ended = {9};

    StaticArpSet arp(table, {}, &registry);
    // Before the sweep the left entry looks like the user's own and is not taken over.
    arp.AddStaticArp(Module(3, Ip(192, 0, 2, 41)));
    EXPECT_TRUE(arp.Entries().empty());
    arp.RemoveAllStaticArp();
    EXPECT_EQ(table.entries.count({3, Ip(192, 0, 2, 41)}), 0u);
    EXPECT_EQ(table.entries.at({3, Ip(192, 0, 2, 42)}).mac, usersMac);
    EXPECT_EQ(table.entries.count({3, Ip(192, 0, 2, 43)}), 1u);
    EXPECT_EQ(table.entries.count({3, Ip(192, 0, 2, 44)}), 1u);
    ASSERT_EQ(registry.notes.size(), 1u);
    EXPECT_EQ(registry.notes[0].process, 10u);
}

}  // namespace
}  // namespace tarrowind
