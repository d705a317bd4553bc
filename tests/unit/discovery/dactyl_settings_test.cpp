#include "discovery/dactyl_settings.h"

#include <gtest/gtest.h>

#include <numeric>

#include "discovery/address_text.h"
#include "tests/unit/discovery/discovery_fixture.h"

namespace tarrowind {
namespace {

constexpr std::uint32_t kIp = 0xC0000228;       // 192.0.2.40
constexpr std::uint32_t kMask = 0xFFFFFF00;     // 255.255.255.0
constexpr std::uint32_t kGateway = 0xC00002FE;  // 192.0.2.254

TEST(DactylSettingsRequest, BytesOfTheRequest)
{
    const auto b = MakeDactylSettingsRequest("02:11:22:FD:01:02", "Gate", true, kIp, kMask, kGateway);
    EXPECT_EQ(b[0], 0xFF);
    EXPECT_EQ(b[1], 49);
    EXPECT_EQ(b[2], 0xE0);
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 3, b.begin() + 11),
              (std::vector<std::uint8_t>{0x02, 0x01, 0xFD, 0x00, 0x22, 0x11, 0x02, 0x00}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[11])), "Gate");
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 28, b.begin() + 48),
              (std::vector<std::uint8_t>{1, 0, 0, 0, 192, 0, 2, 40, 255, 255, 255, 0, 192, 0, 2, 254, 0x77, 0x08, 0, 0}));
    EXPECT_EQ(std::accumulate(b.begin(), b.end(), 0u) % 256, 0u);

    std::uint32_t ip = 0, mask = 0;
    EXPECT_FALSE(DactylRequestedAddress(b, ip, mask)) << "DHCP: no address known";
    ASSERT_TRUE(DactylRequestedAddress(MakeDactylSettingsRequest("02:11:22:FD:01:02", "", false, kIp, kMask, 0), ip, mask));
    EXPECT_EQ(FormatIp(ip), "192.0.2.40");
    EXPECT_EQ(FormatIp(mask), "255.255.255.0");
}

TEST(DactylSettingsRequest, NameIsCutToSixteenBytesAndAlwaysTerminated)
{
    const auto longName = MakeDactylSettingsRequest("02:11:22:FD:01:02", "ABCDEFGHIJKLMNOPQRST", false, 0, 0, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&longName[11])), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(longName[27], 0);
    EXPECT_EQ(longName[28], 0);
    const auto empty = MakeDactylSettingsRequest("02:11:22:FD:01:02", "", false, 0, 0, 0);
    EXPECT_TRUE(std::all_of(empty.begin() + 11, empty.begin() + 28, [](std::uint8_t c) { return c == 0; }));
}

TEST(DactylAcknowledgement, NeedsTwelveBytesAndTheMarker)
{
    std::vector<std::uint8_t> ack(12, 0);
    ack[0] = 0xFA;
    ack[9] = 0x02, ack[8] = 0x11, ack[7] = 0x22, ack[5] = 0xFD, ack[4] = 0x01, ack[3] = 0x02;
    EXPECT_EQ(AcknowledgedMacText(ack.data(), 12), "02:11:22:FD:01:02");
    EXPECT_EQ(AcknowledgedMacText(ack.data(), 11), "");
    ack[0] = 0xFB;
    EXPECT_EQ(AcknowledgedMacText(ack.data(), 12), "");
    EXPECT_EQ(AcknowledgedMacText(nullptr, 12), "");
}

constexpr std::uint32_t kReaderIp = 0x280200C0;  // 192.0.2.40 in network order

struct SendDactylSettingsTest : DiscoveryFixture {
    DeviceRecord reader;
    DactylSettingsBytes request{};
    SendDactylSettingsTest()
    {
        reader.kind = ModuleKind::BinaryDactyl;
        reader.macText = "02:11:22:FD:01:02";
        reader.ip = kReaderIp;
        request = MakeDactylSettingsRequest(reader.macText, "Gate", false, kIp, kMask, kGateway);
    }
    static std::vector<std::uint8_t> Ack(const std::string& macText, std::size_t length = 12)
    {
        const auto mac = ParseMacText(macText);
        std::vector<std::uint8_t> a(length, 0);
        a[0] = 0xFA;
        a[9] = mac[0], a[8] = mac[1], a[7] = mac[2], a[5] = mac[3], a[4] = mac[4], a[3] = mac[5];
        return a;
    }
};

TEST_F(SendDactylSettingsTest, BroadcastsThePayloadAndWaitsForItsOwnAcknowledgement)
{
    sockets.responder = [&](const FakeUdpSockets::Sent&) -> Answers {
        return {{100, Ack(reader.macText, 11), kReaderIp}, {200, Ack("02:00:00:00:00:01"), kReaderIp},
                {300, Ack(reader.macText), kReaderIp}};
    };
    const std::uint32_t start = clock.now;
    EXPECT_EQ(search->SendDactylSettings(reader, request), 1);
    EXPECT_EQ(clock.now - start, 300u);
    ASSERT_EQ(sockets.sent.size(), 1u);
    EXPECT_EQ(sockets.sent[0].address, 0xFFFFFFFFu);
    EXPECT_EQ(sockets.sent[0].port, 23);
    EXPECT_EQ(sockets.sent[0].data, std::vector<std::uint8_t>(request.begin(), request.end()));
    EXPECT_TRUE(sockets.openSockets.empty());
}

TEST_F(SendDactylSettingsTest, NoAcknowledgementWithinFiveSecondsFailsAndStopDoesNotCutItShort)
{
    search->Stop();
    sockets.responder = [&](const FakeUdpSockets::Sent&) -> Answers { return {{5001, Ack(reader.macText), kReaderIp}}; };
    const std::uint32_t start = clock.now;
    EXPECT_EQ(search->SendDactylSettings(reader, request), 0);
    EXPECT_EQ(clock.now - start, 5000u);
}

TEST_F(SendDactylSettingsTest, ReaderWithoutAddressTextNeverMatchesAStrayDatagram)
{
    reader.macText.clear();
    sockets.responder = [&](const FakeUdpSockets::Sent&) -> Answers { return {{10, {0x01, 0x02}}}; };
    EXPECT_EQ(search->SendDactylSettings(reader, request), 0);
}

}  // namespace
}  // namespace tarrowind
