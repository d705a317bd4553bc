#include "discovery/adapter_list.h"
#include "discovery/address_text.h"

#include <gtest/gtest.h>

#include "discovery/module_search.h"
#include "tests/unit/fakes/fake_network.h"

namespace tarrowind {
namespace {

using testing::FakeAdapterTable;

struct AdapterListTest : ::testing::Test {
    FakeAdapterTable table;
    SearchServices Services()
    {
        SearchServices s;
        s.adapters = &table;
        return s;
    }
};

TEST_F(AdapterListTest, KeepsAdaptersWithAnAddressInOrderThenBroadcast)
{
    table.table = std::vector<SystemAdapter>{
        {4, "eth1", {{"0.0.0.0", "0.0.0.0"}}},
        {2, "eth0", {{"192.0.2.1", "255.255.255.0"}, {"192.0.2.99", "255.255.255.0"}}},
        {9, "Intel(R) NIC - Packet Scheduler Miniport", {{"198.51.100.1", "255.255.0.0"}}},
        {11, "wlan0", {}},
    };
    ModuleSearch search(Services());
    ASSERT_EQ(search.EnumerateAdapters(), 1);
    const auto& list = search.Adapters();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].adapterIndex, 2u);
    EXPECT_EQ(list[0].description, "eth0");
    EXPECT_EQ(list[0].ipText, "192.0.2.1");
    EXPECT_EQ(list[1].adapterIndex, 9u);
    EXPECT_EQ(list[1].description, "Intel(R) NIC");
    EXPECT_EQ(list[1].maskText, "255.255.0.0");
    EXPECT_EQ(list[2].adapterIndex, kBroadcastAdapterIndex);
    EXPECT_EQ(list[2].description, "Broadcast");
    EXPECT_EQ(DirectedBroadcast(list[0]), InetAddr("192.0.2.255"));
    EXPECT_EQ(DirectedBroadcast(list[1]), InetAddr("198.51.255.255"));
    EXPECT_EQ(DirectedBroadcast(list[2]), 0xFFFFFFFFu);
}

TEST_F(AdapterListTest, FailedQueryEmptiesTheListAndASecondReplacesIt)
{
    table.table = std::vector<SystemAdapter>{{2, "eth0", {{"192.0.2.1", "255.255.255.0"}}}};
    ModuleSearch search(Services());
    ASSERT_EQ(search.EnumerateAdapters(), 1);
    EXPECT_EQ(search.Adapters().size(), 2u);

    table.table = std::vector<SystemAdapter>{{5, "eth5", {{"203.0.113.1", "255.255.255.0"}}}};
    ASSERT_EQ(search.EnumerateAdapters(), 1);
    ASSERT_EQ(search.Adapters().size(), 2u);
    EXPECT_EQ(search.Adapters()[0].adapterIndex, 5u);

    table.table = std::nullopt;
    EXPECT_EQ(search.EnumerateAdapters(), 0);
    EXPECT_TRUE(search.Adapters().empty());

    // No adapters at all still gives the Broadcast adapter: the limited broadcast works without one.
    table.table = std::vector<SystemAdapter>{};
    ASSERT_EQ(search.EnumerateAdapters(), 1);
    ASSERT_EQ(search.Adapters().size(), 1u);
}

}  // namespace
}  // namespace tarrowind
