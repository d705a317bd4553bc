// Modules behind the lab's router: no broadcast reaches them, a range search does.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>

#include "discovery/address_text.h"
#include "operations/controller_manager.h"
#include "tests/e2e/lab_simulator.h"

namespace tarrowind {
namespace {

using lab::Module;
using nlohmann::json;

// The system's table, remembering every address a permanent entry was asked for.
class WatchedNeighbours final : public NeighbourTable {
public:
    NeighbourKind Lookup(std::uint32_t i, std::uint32_t a) override { return NeighbourTable::System().Lookup(i, a); }
    bool AddPermanent(std::uint32_t i, std::uint32_t a, const std::array<std::uint8_t, 6>& mac) override
    {
        {
            std::lock_guard hold(m_lock);
            m_asked.insert(a);
        }
        return NeighbourTable::System().AddPermanent(i, a, mac);
    }
    bool Remove(std::uint32_t i, std::uint32_t a) override { return NeighbourTable::System().Remove(i, a); }
    bool Asked(std::uint32_t address)
    {
        std::lock_guard hold(m_lock);
        return m_asked.count(address) != 0;
    }

private:
    std::mutex m_lock;
    std::set<std::uint32_t> m_asked;
};

class Statuses final : public CoreEvents {
public:
    void OnModuleFound(const DeviceRecord& record) override { found.push_back(record); }
    void OnReport(DeviceRecord& record) override
    {
        std::lock_guard hold(m_lock);
        auto& s = m_byMac[record.macText];
        if (s.empty() || s.back() != record.status) {
            s.push_back(record.status);
        }
    }
    std::vector<std::int32_t> Of(const std::string& mac)
    {
        std::lock_guard hold(m_lock);
        return m_byMac[mac];
    }
    std::vector<DeviceRecord> found;

private:
    std::mutex m_lock;
    std::map<std::string, std::vector<std::int32_t>> m_byMac;
};

class RangeSearchE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!lab::InLab() || !lab::HasRouter()) {
            GTEST_SKIP() << "needs the lab with its router (root): scripts/lab run --router, or ctest as root";
        }
        services.neighbours = &neighbours;
        ManagerTiming t;
        t.searchMs = 1200;
        t.rangeTailMs = 1000;
        t.settleMs = 500;
        t.requeryMs = 1000;
        manager = std::make_unique<CControllerManager>(services, t);
    }

    std::vector<DeviceRecord> Search()
    {
        events.found.clear();
        manager->Init(nullptr, &events);
        manager->StartSearch();
        manager->WaitForSearch();
        manager->Init(nullptr, nullptr);
        return events.found;
    }

    WatchedNeighbours neighbours;
    ManagerServices services;
    std::unique_ptr<CControllerManager> manager;
    Statuses events;
};

TEST_F(RangeSearchE2E, OnlyTheRangeFindsRoutedModulesWhichLogInAndComeBackWithoutNeighbourEntries)
{
    json config = lab::RoutedModules(6);
    config["restartSilenceMs"] = 600;
    config["modules"].push_back(Module("Web", "02:00:00:00:20:01", "192.0.2.30"));
    config["modules"].push_back(Module("BinaryDactyl", "02:00:00:FD:20:02", "198.51.100.31", "sim1"));
    lab::Simulator sim(config);
    std::set<std::string> routedMacs;
    for (const json& m : config["modules"]) {
        if (m["link"] == lab::kRoutedLink) {
            routedMacs.insert(FormatMac(ParseMacText(m["mac"].get<std::string>())));
        }
    }
    ASSERT_EQ(routedMacs.size(), 6u);

    std::set<std::string> heard;
    for (const DeviceRecord& r : Search()) {
        heard.insert(r.macText);
    }
    EXPECT_EQ(heard, (std::set<std::string>{"02:00:00:00:20:01", "02:00:00:FD:20:02"}))
        << "no broadcast reaches the routed subnet";

    AddressRanges ranges;
    ASSERT_EQ(ParseAddressRanges(lab::kRoutedRange, ranges).error, RangeError::None);
    ASSERT_TRUE(manager->SetSearchRanges(ranges, kDefaultProbeRate));
    const std::vector<DeviceRecord> found = Search();
    EXPECT_EQ(manager->RangeProbesSent(), 124u);
    ASSERT_EQ(found.size(), 8u) << "the local modules by broadcast, the routed ones by range, each once";
    std::map<std::string, DeviceRecord> byMac;
    for (const DeviceRecord& r : found) {
        byMac[r.macText] = r;
    }
    ASSERT_EQ(byMac.size(), 8u);
    for (const auto& [mac, r] : byMac) {
        const bool routed = routedMacs.count(mac) != 0;
        EXPECT_EQ(r.routed, routed) << mac;
        EXPECT_EQ(r.adapterName, routed ? "Routed" : r.ipText.rfind("192.", 0) == 0 ? "pc0" : "pc1") << mac;
        if (routed) {
            EXPECT_EQ(r.adapterIndex, kBroadcastAdapterIndex);
            EXPECT_EQ(r.maskText, "255.255.255.192");
        }
    }

    // A routed web module logs in through the queue, reboots and is requeried back, and a routed
    // reader answers a requery, all through the system's routes.
    DeviceRecord web = byMac.at("02:52:00:00:00:00");
    DeviceRecord reader = byMac.at("02:52:00:00:00:02");
    ASSERT_EQ(reader.kind, ModuleKind::BinaryDactyl);
    web.reportWindow = &events;
    web.userName = "admin";
    web.password = "admin";
    web.action = kActionSetLogin;
    web.status = kStatusQueueLogin;
    ASSERT_EQ(manager->QueueJob(&web), 1);
    manager->WaitUntilIdle();
    ASSERT_EQ(web.status, kStatusLoginSuccessfully);
    web.action = kActionReboot;
    web.status = kStatusQueueReboot;
    ASSERT_EQ(manager->QueueJob(&web), 1);
    manager->WaitUntilIdle();
    EXPECT_EQ(web.status, kStatusLoginSuccessfully);
    const std::vector<std::int32_t> statuses = events.Of(web.macText);
    ASSERT_GE(statuses.size(), 5u);
    EXPECT_EQ(std::vector<std::int32_t>(statuses.end() - 5, statuses.end()),
              (std::vector<std::int32_t>{kStatusReboot, kStatusWaitForLogin, kStatusQueueLogin, kStatusLogin,
                                         kStatusLoginSuccessfully}));
    EXPECT_TRUE(web.routed);
    EXPECT_EQ(web.adapterName, "Routed");

    reader.name = "stale";
    EXPECT_EQ(manager->Requery(&reader), 1);
    EXPECT_EQ(reader.name, "Module 203.0.113.132");
    EXPECT_TRUE(reader.routed);

    for (const std::string& mac : routedMacs) {
        EXPECT_FALSE(neighbours.Asked(byMac.at(mac).ip)) << mac << ": routed modules get no neighbour entry";
    }
}

}  // namespace
}  // namespace tarrowind
