#include <gtest/gtest.h>

#include "discovery/dactyl_settings.h"
#include "discovery/reply_parser.h"
#include "tests/unit/discovery/discovery_fixture.h"

namespace tarrowind {
namespace {

AddressRanges Ranges(std::string_view text)
{
    AddressRanges r;
    EXPECT_EQ(ParseAddressRanges(text, r).error, RangeError::None);
    return r;
}

bool IsBroadcastTarget(std::uint32_t address)
{
    return address == Ip(192, 0, 2, 255) || address == Ip(198, 51, 100, 255) || address == 0xFFFFFFFFu;
}

struct RangeSearchTest : DiscoveryFixture {
    struct Probe {
        std::uint32_t at, address;
        std::uint16_t port;
        bool binary;
    };
    std::vector<Probe> probes;  // the unicast range probes, as sent
    std::function<Answers(const FakeUdpSockets::Sent&)> answer;

    RangeSearchTest()
    {
        sockets.responder = [this](const FakeUdpSockets::Sent& s) -> Answers {
            if (!IsBroadcastTarget(s.address) && (IsTextProbe(s) || IsBinaryProbe(s))) {
                EXPECT_FALSE(sockets.broadcast[s.socket]) << "range probes are never sent with the broadcast right";
                probes.push_back({clock.now, s.address, s.port, IsBinaryProbe(s)});
            }
            return answer ? answer(s) : Answers{};
        };
    }
    void RunSearch()
    {
        search->StartSearch();
        search->WaitForSearch();
    }
};

TEST_F(RangeSearchTest, ProbesEveryAddressTwiceAtTheSetRateAndTheCountdownCoversIt)
{
    // 62 addresses, 124 probes at 20 a second: the last is due after 6150 ms, then 2000 ms of listening.
    ASSERT_TRUE(search->SetSearchRanges(Ranges("203.0.113.128/26"), 20));
    EXPECT_EQ(search->SearchDurationMs(), 8150u);
    RunSearch();
    ASSERT_EQ(probes.size(), 124u);
    EXPECT_EQ(search->RangeProbesSent(), 124u);
    for (std::size_t k = 0; k < probes.size(); ++k) {
        EXPECT_EQ(probes[k].at - probes[0].at, 50 * k) << k;
        EXPECT_EQ(probes[k].address, Ip(203, 0, 113, static_cast<std::uint8_t>(129 + k / 2))) << k;
        EXPECT_EQ(probes[k].binary, k % 2 == 1);
        EXPECT_EQ(probes[k].port, k % 2 == 1 ? 23 : 10002);
    }
    ASSERT_GE(events.states.size(), 3u);
    EXPECT_EQ(events.states.front().seconds, 9);
    std::vector<int> shown;
    for (std::size_t i = 1; i + 1 < events.states.size(); ++i) {
        shown.push_back(events.states[i].seconds);
    }
    EXPECT_EQ(shown, (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(events.states.back().at - events.states.front().at, 8150u);
    EXPECT_LT(sockets.waits, 124 + 20) << "waits sleep until the next probe is due";
    EXPECT_TRUE(sockets.openSockets.empty());

    // A fast rate over a large block: as many probes as are due, never ahead of time.
    probes.clear();
    events.states.clear();
    ASSERT_TRUE(search->SetSearchRanges(Ranges("10.20.0.0/22"), 2000));
    RunSearch();
    ASSERT_EQ(probes.size(), 2044u);
    for (std::size_t k = 0; k < probes.size(); ++k) {
        ASSERT_EQ(probes[k].at - probes[0].at, (k + 1) / 2) << k;  // probe k is due at k / 2 ms
    }
    EXPECT_EQ(events.states.front().seconds, 5);
    EXPECT_EQ(events.states.back().at - events.states.front().at, 5000u)
        << "1022 ms of probes and the tail are shorter than a normal search";
}

TEST_F(RangeSearchTest, AFullSendBufferDelaysTheProbesAndTheEndInsteadOfDroppingThem)
{
    // Probes waiting for address resolution fill the send buffer for a second: the probes then go on
    // at the set rate, without a burst, and the search still listens for the tail after the last one.
    ASSERT_TRUE(search->SetSearchRanges(Ranges("203.0.113.128/26"), 20));
    sockets.blockSendsFrom = clock.now + 1000;
    sockets.blockSendsUntil = clock.now + 2000;
    RunSearch();
    ASSERT_EQ(probes.size(), 124u);
    EXPECT_GT(sockets.wouldBlocks, 0);
    for (std::size_t k = 1; k < probes.size(); ++k) {
        EXPECT_GE(probes[k].at - probes[k - 1].at, 50u) << k;
        EXPECT_EQ(probes[k].address, Ip(203, 0, 113, static_cast<std::uint8_t>(129 + k / 2))) << k;
    }
    EXPECT_GE(probes.back().at - probes.front().at, 6150u + 950);
    EXPECT_EQ(events.states.back().at - probes.back().at, 2000u);
    EXPECT_EQ(events.states[events.states.size() - 2].seconds, 1) << "the countdown runs to the real end";
}

TEST_F(RangeSearchTest, RepliesMergeWithBroadcastsByMacAndBelongToTheSubnetsAdapter)
{
    TextReplyFields local;  // on pc0's subnet: answers the broadcast first and its address later
    local.ip = "192.0.2.10";
    local.mac = "02:00:00:00:00:01";
    TextReplyFields quiet;  // on pc1's subnet, deaf to broadcasts
    quiet.ip = "198.51.100.20";
    quiet.mac = "02:00:00:00:00:02";
    TextReplyFields routed;
    routed.ip = "203.0.113.130";
    routed.mac = "02:00:00:00:00:03";
    BinaryReplyFields reader;
    reader.ip = {203, 0, 113, 140};
    answer = [&](const FakeUdpSockets::Sent& s) -> Answers {
        if (IsTextProbe(s) && s.address == Ip(192, 0, 2, 255)) {
            return {{5, TextReply(172, local)}};
        }
        if (IsTextProbe(s) && s.address == Ip(192, 0, 2, 10)) {
            TextReplyFields late = local;
            late.name = "heard again";
            return {{1, TextReply(172, late)}};
        }
        if (IsTextProbe(s) && s.address == Ip(198, 51, 100, 20)) {
            return {{1, TextReply(252, quiet)}};
        }
        if (IsTextProbe(s) && s.address == Ip(203, 0, 113, 130)) {
            return {{3, TextReply(256, routed)}, {4, TextReply(256, routed)}};
        }
        if (IsBinaryProbe(s) && s.address == Ip(203, 0, 113, 140)) {
            return {{2, BinaryReply(reader)}};
        }
        return {};
    };
    ASSERT_TRUE(search->SetSearchRanges(Ranges("192.0.2.0/24, 198.51.100.20, 203.0.113.128/26"), 1000));
    RunSearch();
    ASSERT_EQ(events.found.size(), 4u);
    std::map<std::string, DeviceRecord> byMac;
    for (const DeviceRecord& r : events.found) {
        byMac[r.macText] = r;
    }
    ASSERT_EQ(byMac.size(), 4u) << "every module is listed once";
    EXPECT_EQ(events.found[0].macText, "02:00:00:00:00:01") << "replies are listed as they come";
    EXPECT_EQ(byMac["02:00:00:00:00:01"].name, "Door 1") << "the first datagram wins";
    EXPECT_EQ(byMac["02:00:00:00:00:01"].adapterIndex, 2u);
    EXPECT_EQ(byMac["02:00:00:00:00:02"].adapterIndex, 3u);
    EXPECT_EQ(byMac["02:00:00:00:00:02"].adapterName, "pc1");
    EXPECT_FALSE(byMac["02:00:00:00:00:02"].routed);
    for (const char* mac : {"02:00:00:00:00:03", "02:11:22:FD:01:02"}) {
        EXPECT_TRUE(byMac[mac].routed) << mac;
        EXPECT_EQ(byMac[mac].adapterIndex, kBroadcastAdapterIndex);
        EXPECT_EQ(byMac[mac].adapterName, "Routed");
        EXPECT_TRUE(byMac[mac].addressConfirmed) << "through the router, a reply still comes from its module";
    }
    EXPECT_EQ(byMac["02:11:22:FD:01:02"].kind, ModuleKind::BinaryDactyl);
    EXPECT_EQ(search->FoundDevices().size(), 4u);
    EXPECT_TRUE(neighbours.entries.empty());
    EXPECT_EQ(neighbours.calls, 0);

    // Broadcasts only again once the ranges are emptied.
    probes.clear();
    ASSERT_TRUE(search->SetSearchRanges({}, 1000));
    RunSearch();
    EXPECT_TRUE(probes.empty());
    EXPECT_EQ(events.found.size(), 5u);
}

TEST_F(RangeSearchTest, StopEndsTheProbingAtOnce)
{
    answer = [&](const FakeUdpSockets::Sent& s) -> Answers {
        return s.address == Ip(203, 0, 113, 5) && IsTextProbe(s) ? Answers{{1, TextReply(172)}} : Answers{};
    };
    std::size_t probesAtStop = 0;
    events.onFound = [&](const DeviceRecord&) {
        probesAtStop = probes.size();
        search->Stop();
    };
    ASSERT_TRUE(search->SetSearchRanges(Ranges("203.0.113.0/24"), 100));
    RunSearch();
    EXPECT_EQ(probesAtStop, 9u);
    EXPECT_EQ(probes.size(), probesAtStop);
    EXPECT_EQ(events.states.back().state, SearchState::Ended);
    EXPECT_LT(events.states.back().at - events.states.front().at, 100u);
    EXPECT_TRUE(sockets.openSockets.empty());
}

TEST_F(RangeSearchTest, RatesAndSizesOutsideTheLimitsAreRefused)
{
    const AddressRanges r = Ranges("203.0.113.0/24");
    ASSERT_TRUE(search->SetSearchRanges(r, 500));
    EXPECT_FALSE(search->SetSearchRanges(Ranges("198.51.100.0/24"), 0));
    EXPECT_FALSE(search->SetSearchRanges(Ranges("198.51.100.0/24"), 100001));
    AddressRanges huge;
    huge.ranges = {{0x0A000000u, 0x0A00FFFFu}, {0x0B000000u, 0x0B000000u}};
    EXPECT_FALSE(search->SetSearchRanges(huge, 500));
    EXPECT_FALSE(search->SetSearchRanges(AddressRanges{{{0xE0000001u, 0xE0000001u}}}, 500)) << "multicast";
    EXPECT_FALSE(search->SetSearchRanges(AddressRanges{{{0x0A000009u, 0x0A000001u}}}, 500)) << "reversed";
    EXPECT_EQ(search->SearchRanges(), r);
    EXPECT_EQ(search->ProbeRate(), 500u);
}

TEST_F(RangeSearchTest, RoutedModulesAreAskedAtTheirAddressWithoutNeighbourEntries)
{
    search->EnumerateAdapters();
    DeviceRecord web;
    TextReplyFields f;
    f.ip = "203.0.113.130";
    const auto reply = TextReply(252, f);
    ParseReply(web, reply.data(), 252, kBroadcastAdapterIndex, "Routed");
    web.routed = true;
    DeviceRecord reader;
    BinaryReplyFields b;
    b.ip = {203, 0, 113, 140};
    const auto binary = BinaryReply(b);
    ParseReply(reader, binary.data(), 84, kBroadcastAdapterIndex, "Routed");
    reader.routed = true;
    const auto request =
        MakeDactylSettingsRequest(reader.macText, "Gate", false, 0xCB00718Cu, 0xFFFFFFC0u, 0xCB007181u);
    answer = [&](const FakeUdpSockets::Sent& s) -> Answers {
        if (s.address == Ip(203, 0, 113, 130) && IsTextProbe(s)) {
            return {{50, TextReply(252, f)}};
        }
        if (s.address == Ip(203, 0, 113, 140) && IsBinaryProbe(s)) {
            return {{50, BinaryReply(b)}};
        }
        if (s.address == Ip(203, 0, 113, 140) && s.data.size() == kDactylRequestLength) {
            std::vector<std::uint8_t> ack(12, 0);
            ack[0] = 0xFA;
            std::copy(s.data.begin() + 3, s.data.begin() + 10, ack.begin() + 3);
            return {{50, ack}};
        }
        return {};
    };
    EXPECT_EQ(search->Requery(&web), 1);
    EXPECT_EQ(search->Requery(&reader), 1);
    EXPECT_EQ(search->SendDactylSettings(reader, request), 1);
    ASSERT_EQ(sockets.sent.size(), 3u);
    EXPECT_EQ(sockets.sent[1].address, Ip(203, 0, 113, 140)) << "a broadcast never reaches a routed reader";
    for (const auto& s : sockets.sent) {
        EXPECT_FALSE(sockets.broadcast[s.socket]);
    }
    for (const DeviceRecord* r : {&web, &reader}) {
        EXPECT_TRUE(r->routed);
        EXPECT_EQ(r->adapterName, "Routed");
        EXPECT_EQ(r->adapterIndex, kBroadcastAdapterIndex);
    }
    EXPECT_EQ(neighbours.calls, 0);
}

}  // namespace
}  // namespace tarrowind
