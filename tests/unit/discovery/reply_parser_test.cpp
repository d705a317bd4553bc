#include "discovery/reply_parser.h"

#include <gtest/gtest.h>

#include "tests/unit/fakes/reply_bytes.h"

namespace tarrowind {
namespace {

using testing::BinaryReply;
using testing::BinaryReplyFields;
using testing::TextReply;
using testing::TextReplyFields;

int Parse(DeviceRecord& r, const std::vector<std::uint8_t>& d, std::uint32_t index = 7,
          const std::string& adapter = "pc0")
{
    return ParseReply(r, d.data(), static_cast<std::int32_t>(d.size()), index, adapter);
}

TEST(ReplyChecksum, MakesTheBytesAddUpToZero)
{
    const std::uint8_t probe[] = {0xFF, 0x04, 0x02};
    EXPECT_EQ(ReplyChecksum(probe, 3), 0xFB);
    EXPECT_EQ(ReplyChecksum(nullptr, 10), 0);
    EXPECT_EQ(ReplyChecksum(probe, 0), 0);
    const std::uint8_t wrap[] = {0x80, 0x80, 0x01};
    EXPECT_EQ(ReplyChecksum(wrap, 3), 0xFF);
}

TEST(ParseReply, IgnoresEveryOtherLengthAndLeavesTheRecordAlone)
{
    for (const int length : {0, -1, 4, 83, 85, 171, 173, 251, 253, 255, 257, 281, 283, 1024}) {
        std::vector<std::uint8_t> d(static_cast<std::size_t>(std::max(length, 0)), 'A');
        DeviceRecord r;
        r.name = "kept";
        EXPECT_EQ(ParseReply(r, d.data(), length, 1, "x"), 0) << length;
        EXPECT_EQ(r.name, "kept");
        EXPECT_EQ(r.adapterIndex, 0u);
    }
}

TEST(ParseReply, BinaryReplyFieldsAndReversedHardwareAddress)
{
    DeviceRecord r;
    ASSERT_EQ(Parse(r, BinaryReply()), 1);
    EXPECT_EQ(r.kind, ModuleKind::BinaryDactyl);
    EXPECT_EQ(r.macText, "02:11:22:FD:01:02");
    EXPECT_EQ(r.mac, (std::array<std::uint8_t, 6>{0x02, 0x11, 0x22, 0xFD, 0x01, 0x02}));
    EXPECT_EQ(r.model, "QT-FP6611");
    EXPECT_EQ(r.version, "V1.2R3");
    EXPECT_EQ(r.ipText, "192.0.2.40");
    EXPECT_EQ(r.ip, testing::Ip(192, 0, 2, 40));
    EXPECT_EQ(r.maskText, "255.255.255.0");
    EXPECT_EQ(r.gatewayText, "192.0.2.254");
    EXPECT_EQ(r.name, "Reader");
    EXPECT_EQ(r.adapterIndex, 7u);
    EXPECT_EQ(r.adapterName, "pc0");
    EXPECT_EQ(r.useHttps, 0);
    EXPECT_EQ(r.dhcp, 0);
}

TEST(ParseReply, BinaryModelFollowsTheFourthAddressByte)
{
    for (const auto& [fourth, model] : {std::pair<std::uint8_t, const char*>{0xFE, "QT-FP6612"},
                                        {0xFD, "QT-FP6611"}, {0x00, "Dactyl"}, {0xFF, "Dactyl"}}) {
        BinaryReplyFields f;
        f.mac[3] = fourth;
        DeviceRecord r;
        ASSERT_EQ(Parse(r, BinaryReply(f)), 1);
        EXPECT_EQ(r.model, model);
    }
}

TEST(ParseReply, BinaryReplyWithBadChecksumIsIgnored)
{
    DeviceRecord r;
    EXPECT_EQ(Parse(r, BinaryReply({}, false)), 0);
    EXPECT_EQ(r.kind, ModuleKind::Web);
    EXPECT_TRUE(r.macText.empty());
}

TEST(ParseReply, BinaryNameEndsAtColonAndDhcpFlag)
{
    BinaryReplyFields f;
    f.name = "Door 1:x";
    f.dhcp = true;
    DeviceRecord r;
    ASSERT_EQ(Parse(r, BinaryReply(f)), 1);
    EXPECT_EQ(r.name, "Door 1");
    EXPECT_EQ(r.dhcp, 1);
    f.name = ":hidden";
    ASSERT_EQ(Parse(r, BinaryReply(f)), 1);
    EXPECT_EQ(r.name, "");
    // A name that fills all 35 bytes (19 to 53) without a NUL keeps every one of them.
    auto d = BinaryReply();
    std::fill(d.begin() + 19, d.begin() + 54, 'N');
    d[83] = 0;
    d[83] = ReplyChecksum(d.data(), 83);
    ASSERT_EQ(Parse(r, d), 1);
    EXPECT_EQ(r.name, std::string(35, 'N'));
}

TEST(ParseReply, TextLayoutsPlaceEveryField)
{
    for (const std::size_t length : {172u, 252u, 256u, 282u}) {
        TextReplyFields f;
        f.name = "Lobby";
        f.ip = "198.51.100.7";
        f.mac = "02:11:2a:0a:0b:0c";
        f.mask = "255.255.0.0";
        f.gateway = "198.51.100.1";
        f.version = "V2.0R1";
        f.model = "QT-DC410";
        DeviceRecord r;
        ASSERT_EQ(Parse(r, TextReply(length, f), 3, "pc1"), 1) << length;
        EXPECT_EQ(r.kind, length == 282 ? ModuleKind::LongReply : ModuleKind::Web);
        EXPECT_EQ(r.name, "Lobby");
        EXPECT_EQ(r.ipText, "198.51.100.7");
        EXPECT_EQ(r.macText, "02:11:2A:0A:0B:0C");
        EXPECT_EQ(r.mac, (std::array<std::uint8_t, 6>{0x02, 0x11, 0x2A, 0x0A, 0x0B, 0x0C}));
        EXPECT_EQ(r.maskText, "255.255.0.0");
        EXPECT_EQ(r.gatewayText, "198.51.100.1");
        EXPECT_EQ(r.version, "V2.0R1");
        EXPECT_EQ(r.model, "QT-DC410");
        EXPECT_EQ(r.adapterIndex, 3u);
        EXPECT_EQ(r.adapterName, "pc1");
        EXPECT_EQ(r.useHttps, 1);
    }
}

TEST(ParseReply, FieldWithoutNulGivesWidthMinusOne)
{
    TextReplyFields f;
    f.version = std::string(40, 'v');  // fills its 20 bytes
    f.model = std::string(40, 'm');    // fills its 30 bytes, runs into the next field
    DeviceRecord r;
    ASSERT_EQ(Parse(r, TextReply(172, f)), 1);
    EXPECT_EQ(r.version, std::string(19, 'v'));
    EXPECT_EQ(r.model, std::string(29, 'm'));
    f.name = std::string(120, 'n');
    ASSERT_EQ(Parse(r, TextReply(252, f)), 1);
    EXPECT_EQ(r.name, std::string(99, 'n'));
}

TEST(ParseReply, DactylKindAndUnsupportedStatusOnlyForMediumReplies)
{
    TextReplyFields f;
    f.model = "QT-FP-6621";
    DeviceRecord r;
    ASSERT_EQ(Parse(r, TextReply(252, f)), 1);
    EXPECT_EQ(r.kind, ModuleKind::WebDactyl);
    ASSERT_EQ(Parse(r, TextReply(256, f)), 1);
    EXPECT_EQ(r.kind, ModuleKind::WebDactyl);
    ASSERT_EQ(Parse(r, TextReply(172, f)), 1);
    EXPECT_EQ(r.kind, ModuleKind::Web);
    f.model = "qt-fp-6621";
    ASSERT_EQ(Parse(r, TextReply(252, f)), 1);
    EXPECT_EQ(r.kind, ModuleKind::Web);

    for (const char* model : {"QT-KS7730", "XRX5050Y"}) {
        f.model = model;
        DeviceRecord unsupported;
        ASSERT_EQ(Parse(unsupported, TextReply(252, f)), 1);
        EXPECT_EQ(unsupported.status, kStatusNotSupported) << model;
        for (const std::size_t length : {172u, 282u}) {
            DeviceRecord kept;
            kept.status = kStatusLoginSuccessfully;
            ASSERT_EQ(Parse(kept, TextReply(length, f)), 1);
            EXPECT_EQ(kept.status, kStatusLoginSuccessfully) << model << " " << length;
        }
    }
}

TEST(ParseReply, PlainHttpOnlyForTheExactDataCaptureModel)
{
    TextReplyFields f;
    f.model = "QT-TEXT GRABBER V7K";
    DeviceRecord r;
    ASSERT_EQ(Parse(r, TextReply(172, f)), 1);
    EXPECT_EQ(r.useHttps, 0);
    f.model = "QT-Text Grabber V7K";
    DeviceRecord other;
    ASSERT_EQ(Parse(other, TextReply(172, f)), 1);
    EXPECT_EQ(other.useHttps, 1);
    // A record that already uses plain HTTP keeps it.
    DeviceRecord known;
    known.useHttps = 0;
    ASSERT_EQ(Parse(known, TextReply(252)), 1);
    EXPECT_EQ(known.useHttps, 0);
}

TEST(ParseReply, MalformedAddressTextsFallBackToZeroBytes)
{
    TextReplyFields f;
    f.ip = "192.0.2.300";
    f.mac = "02-11-22-33-44-55";
    DeviceRecord r;
    ASSERT_EQ(Parse(r, TextReply(172, f)), 1);
    EXPECT_EQ(r.ip, testing::Ip(192, 0, 2, 44));
    EXPECT_EQ(r.mac, (std::array<std::uint8_t, 6>{0x02, 0, 0, 0, 0, 0}));
    f.ip = "garbage";
    f.mac = "";
    ASSERT_EQ(Parse(r, TextReply(172, f)), 1);
    EXPECT_EQ(r.ip, 0u);
    EXPECT_EQ(r.mac, (std::array<std::uint8_t, 6>{}));
}

TEST(ParseReply, KnownRecordKeepsItsActionState)
{
    DeviceRecord r;
    r.action = kActionReboot;
    r.status = kStatusWaitForLogin;
    r.progress = 40;
    r.userName = "admin";
    r.password = "pw";
    r.firmwareFile = "/tmp/a.bin";
    // Any owned object stands for the payload here: the parser must keep the record's share of it.
    const std::shared_ptr<PendingPayload> payload(std::make_shared<int>(0), nullptr);
    r.pendingPayload = payload;
    ASSERT_EQ(Parse(r, TextReply(252)), 1);
    EXPECT_EQ(r.action, kActionReboot);
    EXPECT_EQ(r.status, kStatusWaitForLogin);
    EXPECT_EQ(r.progress, 40);
    EXPECT_EQ(r.userName, "admin");
    EXPECT_EQ(r.password, "pw");
    EXPECT_EQ(r.firmwareFile, "/tmp/a.bin");
    EXPECT_EQ(payload.use_count(), 2);
    ASSERT_EQ(Parse(r, BinaryReply()), 1);
    EXPECT_EQ(r.status, kStatusWaitForLogin);
}

TEST(ParseReply, InvalidUtf8InNamesIsReplacedNotPassedOn)
{
    TextReplyFields f;
    f.name = "Ga\xC3\x28te";
    f.model = "QT-\xFF";
    DeviceRecord r;
    ASSERT_EQ(Parse(r, TextReply(252, f)), 1);
    EXPECT_EQ(r.name, "Ga\xEF\xBF\xBD(te");
    EXPECT_EQ(r.model, "QT-\xEF\xBF\xBD");
}

}  // namespace
}  // namespace tarrowind
