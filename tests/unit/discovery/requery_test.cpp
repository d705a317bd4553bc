#include <gtest/gtest.h>

#include "discovery/reply_parser.h"
#include "tests/unit/discovery/discovery_fixture.h"

namespace tarrowind {
namespace {

struct RequeryTest : DiscoveryFixture {
    RequeryTest() { search->EnumerateAdapters(); }

    // A web module known from a search through pc0, now waiting to be found again.
    DeviceRecord KnownWebModule(const std::string& ip = "198.51.100.20", const std::string& mask = "255.255.255.0")
    {
        DeviceRecord r;
        TextReplyFields f;
        f.ip = ip;
        f.mask = mask;
        const auto reply = TextReply(252, f);
        ParseReply(r, reply.data(), 252, 2, "pc0");
        r.reportWindow = &events;
        r.status = kStatusWaitForLogin;
        r.action = kActionReboot;
        r.userName = "admin";
        r.progress = 16;
        return r;
    }
};

TEST_F(RequeryTest, LongReplyModulesAreNeverAsked)
{
    DeviceRecord r;
    r.kind = ModuleKind::LongReply;
    EXPECT_EQ(search->Requery(&r), 0);
    EXPECT_EQ(search->Requery(nullptr), 0);
    EXPECT_TRUE(sockets.sent.empty());
}

TEST_F(RequeryTest, UnicastAnswerMovesTheRecordToTheAdapterOfItsSubnet)
{
    DeviceRecord r = KnownWebModule();
    std::vector<NeighbourKind> duringExchange;
    sockets.responder = [&](const FakeUdpSockets::Sent& s) -> Answers {
        duringExchange.push_back(neighbours.Lookup(2, s.address));
        TextReplyFields f;
        f.ip = "198.51.100.20";
        f.name = "Renamed";
        return {{700, TextReply(252, f)}};
    };
    ASSERT_EQ(search->Requery(&r), 1);
    ASSERT_EQ(sockets.sent.size(), 1u);
    EXPECT_EQ(sockets.sent[0].address, Ip(198, 51, 100, 20));
    EXPECT_TRUE(IsTextProbe(sockets.sent[0]));
    EXPECT_EQ(r.name, "Renamed");
    EXPECT_EQ(r.adapterIndex, 3u);
    EXPECT_EQ(r.adapterName, "pc1");
    EXPECT_EQ(r.status, kStatusWaitForLogin);
    EXPECT_EQ(r.userName, "admin");
    // The entry was made on the adapter the module was heard on, and removed from there.
    EXPECT_EQ(duringExchange, (std::vector<NeighbourKind>{NeighbourKind::Permanent}));
    EXPECT_TRUE(neighbours.entries.empty());
    EXPECT_TRUE(search->StaticArp().Entries().empty());
    EXPECT_TRUE(sockets.openSockets.empty());
}

TEST_F(RequeryTest, ModuleOnNoSubnetStillCountsWithoutAnAdapter)
{
    DeviceRecord r = KnownWebModule("203.0.113.5");
    sockets.responder = [&](const FakeUdpSockets::Sent&) -> Answers {
        TextReplyFields f;
        f.ip = "203.0.113.5";
        return {{5, TextReply(252, f)}};
    };
    ASSERT_EQ(search->Requery(&r), 1);
    EXPECT_EQ(r.adapterIndex, kBroadcastAdapterIndex);
    EXPECT_EQ(r.adapterName, "");

    // Heard through the broadcast adapter, it keeps that adapter's name when back on no subnet.
    DeviceRecord heard = KnownWebModule("203.0.113.5");
    TextReplyFields f;
    f.ip = "203.0.113.5";
    const auto reply = TextReply(252, f);
    ParseReply(heard, reply.data(), 252, kBroadcastAdapterIndex, "Broadcast");
    ASSERT_EQ(search->Requery(&heard), 1);
    EXPECT_EQ(heard.adapterIndex, kBroadcastAdapterIndex);
    EXPECT_EQ(heard.adapterName, "Broadcast");
    EXPECT_FALSE(heard.routed);
}

TEST_F(RequeryTest, UnansweredRequeryMovesProgressByElevenAndReportsOften)
{
    DeviceRecord r = KnownWebModule();
    const std::uint32_t start = clock.now;
    EXPECT_EQ(search->Requery(&r), 0);
    EXPECT_EQ(clock.now - start, 3000u);
    ASSERT_FALSE(events.progress.empty());
    EXPECT_EQ(events.progress.front(), 16);
    EXPECT_EQ(events.progress.back(), 27);
    EXPECT_TRUE(std::is_sorted(events.progress.begin(), events.progress.end()));
    EXPECT_GE(events.progress.size(), 290u) << "a report every 10 ms";
    EXPECT_LE(events.progress.size(), 310u);
    EXPECT_EQ(r.progress, 27);
    EXPECT_EQ(r.name, "Door 1");
}

TEST_F(RequeryTest, ReplyOfAnotherModuleIsIgnoredAndLeavesNoTrace)
{
    DeviceRecord r = KnownWebModule();
    sockets.responder = [&](const FakeUdpSockets::Sent&) -> Answers {
        TextReplyFields other;
        other.mac = "02:99:99:99:99:99";
        other.model = "QT-KS7730";  // would set status 0
        TextReplyFields self;
        self.ip = "198.51.100.20";
        return {{10, TextReply(252, other)}, {20, TextReply(252, self)}};
    };
    ASSERT_EQ(search->Requery(&r), 1);
    EXPECT_EQ(r.macText, "02:00:00:00:01:01");
    EXPECT_EQ(r.model, "QT-DC410");
    EXPECT_EQ(r.status, kStatusWaitForLogin);
}

TEST_F(RequeryTest, StopEndsTheRequeryRunningThenButNoLaterOne)
{
    // Stops the search from inside the third progress report, as a user's click during an action would.
    struct StopOnThirdReport final : CoreEvents {
        ModuleSearch* search = nullptr;
        int reports = 0;
        void OnReport(DeviceRecord&) override
        {
            if (++reports == 3) {
                search->Stop();
            }
        }
    } stopper;
    stopper.search = search.get();
    DeviceRecord r = KnownWebModule();
    r.reportWindow = &stopper;
    std::uint32_t start = clock.now;
    EXPECT_EQ(search->Requery(&r), 0);
    EXPECT_LE(clock.now - start, 30u);
    EXPECT_EQ(stopper.reports, 3);

    // The next action's requery waits its whole time again, until the module answers.
    r.reportWindow = &events;
    start = clock.now;
    EXPECT_EQ(search->Requery(&r), 0);
    EXPECT_GE(clock.now - start, 3000u);
    sockets.responder = [](const FakeUdpSockets::Sent&) -> Answers {
        TextReplyFields f;
        f.ip = "198.51.100.20";
        return {{700, TextReply(252, f)}};
    };
    EXPECT_EQ(search->Requery(&r), 1);
}

TEST_F(RequeryTest, BinaryReaderIsAskedOnEveryAdapterAndOnlyItsOwnReplyCounts)
{
    DeviceRecord r;
    const auto first = BinaryReply();
    ParseReply(r, first.data(), 84, 2, "pc0");
    r.reportWindow = &events;
    r.status = kStatusWaitForLogin;
    sockets.responder = [&](const FakeUdpSockets::Sent& s) -> Answers {
        if (s.address != Ip(198, 51, 100, 255)) {
            return {};
        }
        BinaryReplyFields other;
        other.mac = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
        BinaryReplyFields self;
        self.ip = {198, 51, 100, 41};
        self.dhcp = true;
        return {{100, BinaryReply(other)}, {200, BinaryReply(other)}, {900, BinaryReply(self)}};
    };
    const std::uint32_t start = clock.now;
    ASSERT_EQ(search->Requery(&r), 1);
    EXPECT_EQ(clock.now - start, 900u);
    ASSERT_EQ(sockets.sent.size(), 3u);
    for (const auto& s : sockets.sent) {
        EXPECT_TRUE(IsBinaryProbe(s));
    }
    EXPECT_EQ(sockets.sent[2].address, 0xFFFFFFFFu);
    EXPECT_EQ(r.macText, "02:11:22:FD:01:02");
    EXPECT_EQ(r.ipText, "198.51.100.41");
    EXPECT_EQ(r.adapterName, "pc1");
    EXPECT_EQ(r.dhcp, 1);
    EXPECT_EQ(r.status, kStatusWaitForLogin);
    EXPECT_EQ(neighbours.calls, 0) << "no neighbour entry on the broadcast path";
}

}  // namespace
}  // namespace tarrowind
