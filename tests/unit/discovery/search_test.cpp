#include <gtest/gtest.h>

#include <cstdio>
#include <future>

#include "tests/unit/discovery/discovery_fixture.h"

namespace tarrowind {
namespace {

struct SearchTest : DiscoveryFixture {
    void RunSearch()
    {
        search->StartSearch();
        search->WaitForSearch();
    }
};

TEST_F(SearchTest, ProbesEveryAdapterWithBothProbesOnLargeBuffers)
{
    RunSearch();
    ASSERT_EQ(sockets.sent.size(), 6u);
    const std::uint32_t targets[] = {Ip(192, 0, 2, 255), Ip(198, 51, 100, 255), 0xFFFFFFFFu};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sockets.sent[2 * i].address, targets[i]);
        EXPECT_TRUE(IsTextProbe(sockets.sent[2 * i]));
        EXPECT_EQ(sockets.sent[2 * i + 1].address, targets[i]);
        EXPECT_TRUE(IsBinaryProbe(sockets.sent[2 * i + 1]));
    }
    for (const auto& [socket, bytes] : sockets.receiveBuffers) {
        EXPECT_GE(bytes, 16 * 1024 * 1024);
        EXPECT_TRUE(sockets.broadcast[socket]);
    }
    EXPECT_EQ(sockets.receiveBuffers.size(), 6u);
    EXPECT_TRUE(sockets.openSockets.empty()) << "every socket is closed after the search";
}

TEST_F(SearchTest, CountdownShowsEachSecondOnceWithoutSpinning)
{
    RunSearch();
    ASSERT_GE(events.states.size(), 2u);
    EXPECT_EQ(events.states.front().state, SearchState::Started);
    EXPECT_EQ(events.states.front().seconds, 5);
    EXPECT_EQ(events.states.back().state, SearchState::Ended);
    EXPECT_EQ(events.states.back().seconds, 0);
    const std::uint32_t start = events.states.front().at;
    std::vector<int> shown;
    for (std::size_t i = 1; i + 1 < events.states.size(); ++i) {
        EXPECT_EQ(events.states[i].state, SearchState::Countdown);
        shown.push_back(events.states[i].seconds);
        // Each value appears as soon as it is due: 5 at once, then every 1000 ms.
        EXPECT_LE(events.states[i].at - start, 1 + 1000 * (i - 1)) << i;
    }
    EXPECT_EQ(shown, (std::vector<int>{5, 4, 3, 2, 1}));
    EXPECT_EQ(events.states.back().at - start, 5000u);
    EXPECT_LE(sockets.waits, 8) << "waits block until something is due";
}

TEST_F(SearchTest, FirstDatagramTakenWinsAndEachModuleIsReportedOnce)
{
    // A: answers both its directed broadcast and the limited one, the limited one first.
    // B: answers both probes on pc1 at the same moment: the text socket is read first.
    // C: a second module claiming A's hardware address.
    TextReplyFields a;
    a.mac = "02:00:00:00:00:0a";
    TextReplyFields c = a;
    c.name = "impostor";
    sockets.responder = [&](const FakeUdpSockets::Sent& s) -> Answers {
        if (IsTextProbe(s) && s.address == Ip(192, 0, 2, 255)) {
            return {{30, TextReply(172, a)}, {40, TextReply(252, c)}};
        }
        if (IsTextProbe(s) && s.address == 0xFFFFFFFFu) {
            return {{10, TextReply(172, a)}};
        }
        if (s.address == Ip(198, 51, 100, 255)) {
            TextReplyFields b;
            b.mac = "02:00:00:00:00:0b";
            b.model = IsTextProbe(s) ? "from text socket" : "from binary socket";
            return {{20, TextReply(256, b)}};
        }
        return {};
    };
    RunSearch();
    ASSERT_EQ(events.found.size(), 2u);
    EXPECT_EQ(events.found[0].macText, "02:00:00:00:00:0A");
    EXPECT_EQ(events.found[0].adapterName, "Broadcast");
    EXPECT_EQ(events.found[0].adapterIndex, kBroadcastAdapterIndex);
    EXPECT_EQ(events.found[1].macText, "02:00:00:00:00:0B");
    EXPECT_EQ(events.found[1].model, "from text socket");
    EXPECT_EQ(events.found[1].adapterIndex, 3u);
    EXPECT_EQ(search->FoundDevices().size(), 2u);
    EXPECT_EQ(search->FoundDevices().at("02:00:00:00:00:0A").name, "Door 1");
}

TEST_F(SearchTest, ALargeBurstIsProbedOnceMoreAndTheRepeatOnlyAddsModules)
{
    // `heard` modules answer the first text probe on pc0; 20 more (their replies were "dropped")
    // answer only the repeat, which every module answers.
    for (const std::size_t heard : {std::size_t{999}, std::size_t{1000}}) {
        sockets.sent.clear();
        events.found.clear();
        std::vector<std::uint32_t> probeTimes;
        sockets.responder = [&](const FakeUdpSockets::Sent& s) -> Answers {
            if (!IsTextProbe(s) || s.address != Ip(192, 0, 2, 255)) {
                return {};
            }
            probeTimes.push_back(clock.now);
            Answers answers;
            for (std::size_t i = 0; i < (probeTimes.size() == 1 ? heard : heard + 20); ++i) {
                TextReplyFields m;
                char mac[18];
                std::snprintf(mac, sizeof mac, "02:00:00:00:%02x:%02x", static_cast<unsigned>(i >> 8),
                              static_cast<unsigned>(i & 0xFF));
                m.mac = mac;
                m.name = probeTimes.size() == 1 ? "first" : "repeat";
                answers.push_back({5, TextReply(172, m)});
            }
            return answers;
        };
        const std::uint32_t started = clock.now;
        RunSearch();
        if (heard < 1000) {
            EXPECT_EQ(sockets.sent.size(), 6u) << "a smaller site never sees the repeat";
            EXPECT_EQ(events.found.size(), heard);
            continue;
        }
        ASSERT_EQ(sockets.sent.size(), 12u);
        ASSERT_EQ(probeTimes.size(), 2u);
        EXPECT_GE(probeTimes[1] - started, 3000u);
        EXPECT_LT(probeTimes[1] - started, 5000u);
        ASSERT_EQ(events.found.size(), heard + 20);
        EXPECT_EQ(events.found[heard - 1].name, "first");  // found before are never reported again
        EXPECT_EQ(events.found[heard].name, "repeat");
    }
}

TEST_F(SearchTest, SimultaneousRepliesFavourTheEarlierAdapter)
{
    sockets.responder = [&](const FakeUdpSockets::Sent& s) -> Answers {
        if (IsBinaryProbe(s) && s.address != Ip(198, 51, 100, 255)) {
            return {{5, BinaryReply()}};
        }
        return {};
    };
    RunSearch();
    ASSERT_EQ(events.found.size(), 1u);
    EXPECT_EQ(events.found[0].adapterName, "pc0");
    EXPECT_EQ(events.found[0].kind, ModuleKind::BinaryDactyl);
}

TEST_F(SearchTest, BadChecksumsAndUnknownLengthsAddNothing)
{
    sockets.responder = [&](const FakeUdpSockets::Sent& s) -> Answers {
        if (s.address != Ip(192, 0, 2, 255)) {
            return {};
        }
        return {{1, BinaryReply({}, false)}, {2, std::vector<std::uint8_t>(255, 'x')},
                {3, std::vector<std::uint8_t>(2000, 'x')}, {4, {}}};
    };
    RunSearch();
    EXPECT_TRUE(events.found.empty());
}

TEST_F(SearchTest, EverySocketIsWaitedOnWithManyAdapters)
{
    std::vector<SystemAdapter> many;
    for (std::uint32_t i = 0; i < 40; ++i) {
        many.push_back({10 + i, "veth" + std::to_string(i),
                        {{"198.51.100." + std::to_string(i + 1), "255.255.255.255"}}});
    }
    adapters.table = many;
    sockets.responder = [&](const FakeUdpSockets::Sent& s) -> Answers {
        if (IsTextProbe(s) && s.address == Ip(198, 51, 100, 40)) {
            return {{1, TextReply(172)}};
        }
        return {};
    };
    RunSearch();
    EXPECT_EQ(sockets.opened, 82);
    ASSERT_EQ(events.found.size(), 1u);
    EXPECT_EQ(events.found[0].adapterName, "veth39");
}

TEST_F(SearchTest, SocketsThatCannotBeMadeAreSkipped)
{
    sockets.failOpensAfter = 1;
    sockets.responder = [&](const FakeUdpSockets::Sent& s) -> Answers {
        return IsTextProbe(s) ? Answers{{1, TextReply(172)}} : Answers{};
    };
    RunSearch();
    EXPECT_EQ(sockets.sent.size(), 1u);
    ASSERT_EQ(events.found.size(), 1u);
    EXPECT_EQ(events.found[0].adapterName, "pc0");
}

TEST_F(SearchTest, StopEndsTheSearchAfterThePassAndStillSendsTheEnd)
{
    sockets.responder = [&](const FakeUdpSockets::Sent& s) -> Answers {
        return IsTextProbe(s) && s.address == Ip(192, 0, 2, 255) ? Answers{{1500, TextReply(172)}} : Answers{};
    };
    events.onFound = [&](const DeviceRecord&) { search->Stop(); };
    RunSearch();
    EXPECT_EQ(events.found.size(), 1u);
    EXPECT_EQ(events.states.back().state, SearchState::Ended);
    EXPECT_LT(events.states.back().at - events.states.front().at, 1600u);
    EXPECT_TRUE(sockets.openSockets.empty());
    EXPECT_TRUE(search->IsStopped());
}

TEST_F(SearchTest, ANewSearchReportsEveryModuleAgain)
{
    sockets.responder = [&](const FakeUdpSockets::Sent& s) -> Answers {
        return IsTextProbe(s) && s.address == Ip(192, 0, 2, 255) ? Answers{{1, TextReply(172)}} : Answers{};
    };
    RunSearch();
    RunSearch();
    EXPECT_EQ(events.found.size(), 2u);
}

TEST_F(SearchTest, FailedAdapterQuerySendsOnlyStartAndEnd)
{
    adapters.table = std::nullopt;
    RunSearch();
    EXPECT_TRUE(sockets.sent.empty());
    ASSERT_EQ(events.states.size(), 2u);
    EXPECT_EQ(events.states[0].state, SearchState::Started);
    EXPECT_EQ(events.states[1].state, SearchState::Ended);
    EXPECT_EQ(search->Search(), 0);
}

TEST_F(SearchTest, SearchStartRemovesTheEntriesOfThePreviousSearch)
{
    DeviceRecord m;
    m.adapterIndex = 2;
    m.ip = Ip(192, 0, 2, 10);
    search->AddStaticArp(m);
    ASSERT_EQ(neighbours.entries.size(), 1u);
    RunSearch();
    EXPECT_TRUE(neighbours.entries.empty());
}

TEST_F(SearchTest, NoNewSearchStartsWhileTheLastOneHasNotSentItsEnd)
{
    // The window's thread must never wait for a search thread that waits for the window.
    struct HeldAtEnd final : CoreEvents {
        std::promise<void> reached, release;
        void OnSearchState(SearchState state, int) override
        {
            if (state == SearchState::Ended) {
                reached.set_value();
                release.get_future().wait();
            }
        }
    } held;
    search->Init(&held, &events);
    ASSERT_TRUE(search->StartSearch());
    held.reached.get_future().wait();
    EXPECT_TRUE(search->IsSearching());
    EXPECT_FALSE(search->StartSearch());  // returns at once instead of joining
    held.release.set_value();
    search->WaitForSearch();
    search->Init(&events, &events);
    EXPECT_TRUE(search->StartSearch());
    search->WaitForSearch();
}

}  // namespace
}  // namespace tarrowind
