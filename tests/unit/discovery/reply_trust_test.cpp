// A reply speaks only for the address it came from: search, requery, acknowledgements, neighbour entries.
#include <gtest/gtest.h>

#include "discovery/dactyl_settings.h"
#include "discovery/reply_parser.h"
#include "tests/unit/discovery/discovery_fixture.h"

namespace tarrowind {
namespace {

constexpr std::uint32_t kImpostor = 0x420200C0;  // 192.0.2.66 in network order

DeviceRecord Parsed(const std::vector<std::uint8_t>& reply, std::uint32_t sender)
{
    DeviceRecord r;
    EXPECT_EQ(ParseReply(r, reply.data(), static_cast<std::int32_t>(reply.size()), 2, "pc0"), 1);
    NoteReplySender(r, sender);
    return r;
}

TEST(ReplySender, OnlyTheNamedAddressWrittenPlainlyConfirmsIt)
{
    TextReplyFields f;  // names 192.0.2.10
    EXPECT_TRUE(Parsed(TextReply(252, f), Ip(192, 0, 2, 10)).addressConfirmed);
    const DeviceRecord other = Parsed(TextReply(252, f), kImpostor);
    EXPECT_FALSE(other.addressConfirmed);
    EXPECT_EQ(other.replyFrom, kImpostor);
    EXPECT_FALSE(Parsed(TextReply(252, f), 0).addressConfirmed) << "an unknown sender confirms nothing";
    // 266 is read as 10, but the text would reach another host than the one that answered.
    f.ip = "192.0.2.266";
    EXPECT_FALSE(Parsed(TextReply(252, f), Ip(192, 0, 2, 10)).addressConfirmed);
    f.ip = "0.0.0.0";
    EXPECT_FALSE(Parsed(TextReply(252, f), 0).addressConfirmed);
    EXPECT_TRUE(Parsed(BinaryReply(), Ip(192, 0, 2, 40)).addressConfirmed);
    EXPECT_FALSE(Parsed(BinaryReply(), Ip(192, 0, 2, 254)).addressConfirmed);
}

struct SearchTrustTest : DiscoveryFixture {
    struct Confirming final : CoreEvents {
        void OnModuleFound(const DeviceRecord& r) override { found.push_back(r); }
        void OnModuleConfirmed(const DeviceRecord& r) override { confirmed.push_back(r); }
        std::vector<DeviceRecord> found, confirmed;
    } window;

    SearchTrustTest() { search->Init(&events, &window); }
    void RunSearch()
    {
        search->StartSearch();
        search->WaitForSearch();
    }
};

TEST_F(SearchTrustTest, AnImpostorIsListedUnconfirmedAndTheRealModuleStillWins)
{
    // The impostor answers first with the real module's MAC and address; the module answers later.
    sockets.responder = [&](const FakeUdpSockets::Sent& s) -> Answers {
        if (!IsTextProbe(s) || s.address != Ip(192, 0, 2, 255)) {
            return {};
        }
        return {{10, TextReply(252), kImpostor}, {20, TextReply(252)}, {30, TextReply(252), kImpostor}};
    };
    RunSearch();
    ASSERT_EQ(window.found.size(), 1u);
    EXPECT_FALSE(window.found[0].addressConfirmed);
    EXPECT_EQ(window.found[0].replyFrom, kImpostor);
    ASSERT_EQ(window.confirmed.size(), 1u) << "only the confirming reply replaces the row";
    EXPECT_TRUE(window.confirmed[0].addressConfirmed);
    EXPECT_EQ(window.confirmed[0].macText, window.found[0].macText);
    EXPECT_TRUE(search->FoundDevices().at("02:00:00:00:01:01").addressConfirmed);
}

TEST_F(SearchTrustTest, AConfirmedModuleIsNeverReplacedAndAnImpostorAloneStaysMarked)
{
    TextReplyFields lone;
    lone.mac = "02:00:00:00:01:02";
    lone.ip = "192.0.2.1";  // claims the PC's own address
    sockets.responder = [&](const FakeUdpSockets::Sent& s) -> Answers {
        if (!IsTextProbe(s) || s.address != Ip(192, 0, 2, 255)) {
            return {};
        }
        return {{10, TextReply(252)}, {20, TextReply(252), kImpostor}, {30, TextReply(172, lone), kImpostor}};
    };
    RunSearch();
    ASSERT_EQ(window.found.size(), 2u);
    EXPECT_TRUE(window.found[0].addressConfirmed);
    EXPECT_FALSE(window.found[1].addressConfirmed);
    EXPECT_TRUE(window.confirmed.empty());
}

struct RequeryTrustTest : DiscoveryFixture {
    RequeryTrustTest() { search->EnumerateAdapters(); }
};

TEST_F(RequeryTrustTest, OnlyAnAnswerFromTheModulesOwnAddressCounts)
{
    DeviceRecord web = Parsed(TextReply(252), Ip(192, 0, 2, 10));
    web.name = "Known";
    TextReplyFields renamed;
    renamed.name = "Impostor";
    sockets.responder = [&](const FakeUdpSockets::Sent&) -> Answers {
        return {{100, TextReply(252, renamed), kImpostor}};
    };
    EXPECT_EQ(search->Requery(&web), 0);
    EXPECT_EQ(web.name, "Known");

    // A reader is asked by broadcast: the reply must still come from the address it names.
    DeviceRecord reader = Parsed(BinaryReply(), Ip(192, 0, 2, 40));
    BinaryReplyFields moved;
    moved.ip = {192, 0, 2, 41};
    moved.name = "Moved";
    sockets.responder = [&](const FakeUdpSockets::Sent& s) -> Answers {
        if (s.address != Ip(192, 0, 2, 255)) {
            return {};
        }
        return {{100, BinaryReply(moved), kImpostor}, {200, BinaryReply(moved)}};
    };
    ASSERT_EQ(search->Requery(&reader), 1);
    EXPECT_EQ(reader.name, "Moved");
    EXPECT_EQ(reader.replyFrom, Ip(192, 0, 2, 41));
    EXPECT_TRUE(reader.addressConfirmed);
}

TEST_F(RequeryTrustTest, AnAcknowledgementCountsOnlyFromTheReader)
{
    DeviceRecord reader = Parsed(BinaryReply(), Ip(192, 0, 2, 40));
    const auto request = MakeDactylSettingsRequest(reader.macText, "Gate", false, 0xC0000229u, 0xFFFFFF00u, 0);
    std::vector<std::uint8_t> ack(12, 0);
    ack[0] = 0xFA;
    std::copy(request.begin() + 3, request.begin() + 10, ack.begin() + 3);
    std::uint32_t from = kImpostor;
    sockets.responder = [&](const FakeUdpSockets::Sent&) -> Answers { return {{10, ack, from}}; };
    EXPECT_EQ(search->SendDactylSettings(reader, request), 0) << "the MAC inside proves nothing";
    from = Ip(192, 0, 2, 41);  // the address the request gives it
    EXPECT_EQ(search->SendDactylSettings(reader, request), 1);
    from = Ip(192, 0, 2, 40);
    EXPECT_EQ(search->SendDactylSettings(reader, request), 1);

    // To a reader found unconfirmed nothing is sent at all.
    const std::size_t sent = sockets.sent.size();
    reader.addressConfirmed = false;
    EXPECT_EQ(search->SendDactylSettings(reader, request), 0);
    EXPECT_EQ(sockets.sent.size(), sent);
}

TEST(StaticArpTrust, AnUnconfirmedRecordGetsNoEntry)
{
    testing::FakeNeighbourTable table;
    StaticArpSet arp(table);
    DeviceRecord r = Parsed(TextReply(252), kImpostor);
    r.adapterIndex = 2;
    arp.AddStaticArp(r);
    EXPECT_TRUE(table.entries.empty());
    EXPECT_TRUE(arp.Entries().empty());
}

}  // namespace
}  // namespace tarrowind
