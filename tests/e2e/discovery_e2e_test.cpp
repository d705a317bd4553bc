// Discovery against simulated modules on a real (namespaced) network.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <thread>

#include "discovery/address_text.h"
#include "operations/controller_manager.h"
#include "discovery/dactyl_settings.h"
#include "operations/pending_payload.h"
#include "tests/e2e/lab_simulator.h"

namespace tarrowind {
namespace {

using lab::Module;
using nlohmann::json;

class Collector final : public CoreEvents {
public:
    void OnModuleFound(const DeviceRecord& record) override { found[record.macText].push_back(record); }
    void OnSearchState(SearchState state, int) override { states.push_back(state); }
    std::map<std::string, std::vector<DeviceRecord>> found;
    std::vector<SearchState> states;
};

class DiscoveryE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!lab::InLab()) {
            GTEST_SKIP() << "needs the lab (root): run through scripts/lab run or ctest as root";
        }
    }

    // One search with the given length; returns every module heard, by hardware-address text.
    std::map<std::string, std::vector<DeviceRecord>> Search(CControllerManager& manager)
    {
        Collector collector;
        manager.Init(&collector, &collector);
        manager.StartSearch();
        manager.WaitForSearch();
        manager.Init(nullptr, nullptr);
        EXPECT_EQ(collector.states.front(), SearchState::Started);
        EXPECT_EQ(collector.states.back(), SearchState::Ended);
        return collector.found;
    }

    static ManagerTiming Short()
    {
        ManagerTiming t;
        t.searchMs = 1500;
        return t;
    }

    static NeighbourKind Neighbour(const std::string& adapter, const std::string& ip)
    {
        return NeighbourTable::System().Lookup(lab::AdapterIndex(adapter), InetAddr(ip));
    }
};

TEST_F(DiscoveryE2E, SearchFindsEveryModuleOnceThroughItsAdapter)
{
    json config = {{"modules",
                    {Module("Web", "02:00:00:00:01:01", "192.0.2.10"),
                     Module("WebDactyl", "02:00:00:00:01:02", "192.0.2.11"),
                     Module("BinaryDactyl", "02:00:00:FD:01:03", "192.0.2.12"),
                     Module("LongReply", "02:00:00:00:01:04", "192.0.2.13"),
                     Module("Web", "02:00:00:00:02:01", "198.51.100.10", "sim1"),
                     Module("BinaryDactyl", "02:00:00:FE:02:02", "198.51.100.11", "sim1"),
                     Module("Web", "02:00:00:00:03:01", "203.0.113.7")}}};
    config["modules"][4]["replyLength"] = 256;
    lab::Simulator sim(config);
    CControllerManager manager;  // the real search length
    const auto found = Search(manager);

    const std::map<std::string, std::pair<std::string, ModuleKind>> expected = {
        {"02:00:00:00:01:01", {"pc0", ModuleKind::Web}},
        {"02:00:00:00:01:02", {"pc0", ModuleKind::WebDactyl}},
        {"02:00:00:FD:01:03", {"pc0", ModuleKind::BinaryDactyl}},
        {"02:00:00:00:01:04", {"pc0", ModuleKind::LongReply}},
        {"02:00:00:00:02:01", {"pc1", ModuleKind::Web}},
        {"02:00:00:FE:02:02", {"pc1", ModuleKind::BinaryDactyl}},
        {"02:00:00:00:03:01", {"Broadcast", ModuleKind::Web}},
    };
    ASSERT_EQ(found.size(), expected.size());
    for (const auto& [mac, want] : expected) {
        ASSERT_EQ(found.count(mac), 1u) << mac;
        const auto& records = found.at(mac);
        ASSERT_EQ(records.size(), 1u) << mac << " reported more than once";
        const DeviceRecord& r = records.front();
        EXPECT_EQ(r.adapterName, want.first) << mac;
        EXPECT_EQ(r.kind, want.second) << mac;
        const std::uint32_t index = want.first == "Broadcast" ? kBroadcastAdapterIndex : lab::AdapterIndex(want.first);
        EXPECT_EQ(r.adapterIndex, index) << mac;
    }
    EXPECT_EQ(found.at("02:00:00:FE:02:02").front().model, "QT-FP6612");
    EXPECT_EQ(found.at("02:00:00:00:03:01").front().ipText, "203.0.113.7");
}

TEST_F(DiscoveryE2E, FaultyRepliesAddNothingAndTwoLinksGiveOneRow)
{
    json config = {{"modules",
                    {Module("BinaryDactyl", "02:00:00:00:04:01", "192.0.2.20"),
                     Module("Web", "02:00:00:00:04:02", "192.0.2.21"),
                     Module("Web", "02:00:00:00:04:03", "192.0.2.22"),
                     Module("Web", "02:00:00:00:04:04", "198.51.100.23", "sim1"),
                     Module("Web", "02:00:00:00:04:05", "192.0.2.24"),
                     Module("Web", "02:00:00:00:04:06", "192.0.2.25")}}};
    config["modules"][0]["faults"] = {{"badChecksum", true}};
    config["modules"][1]["faults"] = {{"replyLength", 255}};
    config["modules"][2]["faults"] = {{"silent", true}};
    config["modules"][3]["faults"] = {{"alsoOnLink", "sim0"}};
    config["modules"][4]["faults"] = {{"delayMs", 800}};
    lab::Simulator sim(config);
    CControllerManager manager(ManagerServices{}, Short());
    const auto found = Search(manager);
    EXPECT_EQ(found.count("02:00:00:00:04:01"), 0u);
    EXPECT_EQ(found.count("02:00:00:00:04:02"), 0u);
    EXPECT_EQ(found.count("02:00:00:00:04:03"), 0u);
    ASSERT_EQ(found.count("02:00:00:00:04:04"), 1u);
    EXPECT_EQ(found.at("02:00:00:00:04:04").size(), 1u);
    EXPECT_EQ(found.count("02:00:00:00:04:05"), 1u) << "a late answer within the search counts";
    EXPECT_EQ(found.count("02:00:00:00:04:06"), 1u);
    EXPECT_EQ(found.size(), 3u);
}

TEST_F(DiscoveryE2E, RequeryFindsAMovedModuleWithAStaticEntryOnlyDuringTheExchange)
{
    json config = {{"modules", {Module("Web", "02:00:00:00:05:01", "192.0.2.30")}}};
    lab::Simulator sim(config);
    CControllerManager manager(ManagerServices{}, Short());
    auto found = Search(manager);
    ASSERT_EQ(found.count("02:00:00:00:05:01"), 1u);
    DeviceRecord record = found.at("02:00:00:00:05:01").front();

    // The module restarts on a new address, answering slowly, and the record learns the new address
    // the way a settings action gives it.
    config["modules"][0]["ip"] = "192.0.2.31";
    config["modules"][0]["faults"] = {{"delayMs", 600}};
    sim.Reload(config);
    record.ipText = "192.0.2.31";
    record.ip = InetAddr(record.ipText);
    std::atomic<bool> sawPermanent{false};
    std::thread watcher([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sawPermanent = Neighbour("pc0", "192.0.2.31") == NeighbourKind::Permanent;
    });
    const int result = manager.Requery(&record);
    watcher.join();
    ASSERT_EQ(result, 1);
    EXPECT_TRUE(sawPermanent);
    EXPECT_EQ(record.ipText, "192.0.2.31");
    EXPECT_EQ(record.adapterName, "pc0");
    EXPECT_NE(Neighbour("pc0", "192.0.2.31"), NeighbourKind::Permanent);
    EXPECT_TRUE(manager.StaticArp().Entries().empty());

    // At the old address nobody answers any more: a full requery time, then 0.
    record.ipText = "192.0.2.30";
    record.ip = InetAddr(record.ipText);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(manager.Requery(&record), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2900));
    EXPECT_NE(Neighbour("pc0", "192.0.2.30"), NeighbourKind::Permanent);
}

TEST_F(DiscoveryE2E, DactylSettingsAreAcknowledgedAndApplied)
{
    json config = {{"restartSilenceMs", 500},
                   {"modules", {Module("BinaryDactyl", "02:00:00:FD:06:01", "192.0.2.40"),
                                Module("BinaryDactyl", "02:00:00:FD:06:02", "192.0.2.41"),
                                Module("BinaryDactyl", "02:00:00:FD:06:03", "198.51.100.43", "sim1")}}};
    lab::Simulator sim(config);
    CControllerManager manager(ManagerServices{}, Short());
    auto found = Search(manager);
    ASSERT_EQ(found.count("02:00:00:FD:06:01"), 1u);
    DeviceRecord reader = found.at("02:00:00:FD:06:01").front();

    reader.pendingPayload = MakePayload(DactylSettingsRequest(MakeDactylSettingsRequest(
        reader.macText, "Back door", true, 0xC0000258 /* 192.0.2.88 */, 0xFFFFFF00, 0xC00002FE)));
    ASSERT_EQ(manager.SendDactylSettings(&reader), 1);

    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    ASSERT_EQ(manager.Requery(&reader), 1);
    EXPECT_EQ(reader.ipText, "192.0.2.88");
    EXPECT_EQ(reader.name, "Back door");
    EXPECT_EQ(reader.dhcp, 1);
    EXPECT_EQ(reader.adapterName, "pc0");

    // A reader on the PC's second network takes its settings too, though the default route leaves by
    // the first.
    ASSERT_EQ(found.count("02:00:00:FD:06:03"), 1u);
    DeviceRecord second = found.at("02:00:00:FD:06:03").front();
    EXPECT_EQ(second.adapterName, "pc1");
    second.pendingPayload = MakePayload(DactylSettingsRequest(MakeDactylSettingsRequest(
        second.macText, "Gate", false, 0xC6336458 /* 198.51.100.88 */, 0xFFFFFF00, 0xC63364FE)));
    ASSERT_EQ(manager.SendDactylSettings(&second), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    ASSERT_EQ(manager.Requery(&second), 1);
    EXPECT_EQ(second.ipText, "198.51.100.88");
    EXPECT_EQ(second.name, "Gate");
    EXPECT_EQ(second.adapterName, "pc1");

    // A request for a reader that is not there is never acknowledged (the real 5 s wait).
    DeviceRecord absent = reader;
    absent.macText = "02:00:00:FD:06:99";
    absent.pendingPayload = MakePayload(DactylSettingsRequest(
        MakeDactylSettingsRequest(absent.macText, "x", false, 0xC0000259, 0xFFFFFF00, 0xC00002FE)));
    CControllerManager realTime;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(realTime.SendDactylSettings(&absent), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4900));
    // The other reader kept its settings.
    found = Search(manager);
    ASSERT_EQ(found.count("02:00:00:FD:06:02"), 1u);
    EXPECT_EQ(found.at("02:00:00:FD:06:02").front().ipText, "192.0.2.41");
}

TEST_F(DiscoveryE2E, TheUsersOwnPermanentEntrySurvives)
{
    json config = {{"modules", {Module("Web", "02:00:00:00:07:01", "192.0.2.50")}}};
    lab::Simulator sim(config);
    const std::uint32_t pc0 = lab::AdapterIndex("pc0");
    const std::array<std::uint8_t, 6> mac{0x02, 0, 0, 0, 0x07, 0x01};
    ASSERT_TRUE(NeighbourTable::System().AddPermanent(pc0, InetAddr("192.0.2.50"), mac));
    {
        CControllerManager manager(ManagerServices{}, Short());
        auto found = Search(manager);
        ASSERT_EQ(found.count("02:00:00:00:07:01"), 1u);
        DeviceRecord record = found.at("02:00:00:00:07:01").front();
        EXPECT_EQ(manager.Requery(&record), 1);
        EXPECT_EQ(Neighbour("pc0", "192.0.2.50"), NeighbourKind::Permanent);
    }
    EXPECT_EQ(Neighbour("pc0", "192.0.2.50"), NeighbourKind::Permanent) << "kept after the manager ended";
    NeighbourTable::System().Remove(pc0, InetAddr("192.0.2.50"));
}

}  // namespace
}  // namespace tarrowind
