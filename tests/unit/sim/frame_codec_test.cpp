#include "frame_codec.h"

#include <gtest/gtest.h>

using namespace tarrowind::sim;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A probe frame written out byte by byte: 02:00:00:00:00:99 192.0.2.1:40000 -> 255.255.255.255:10002
// "info". Header checksum and UDP checksum computed by hand.
const Bytes kProbeFrame{
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00, 0x00, 0x99, 0x08, 0x00, // Ethernet
    0x45, 0x00, 0x00, 0x20, 0x12, 0x34, 0x40, 0x00, 0x40, 0x11, 0x66, 0x98,             // IPv4 ...
    0xC0, 0x00, 0x02, 0x01, 0xFF, 0xFF, 0xFF, 0xFF,                                     // ... addresses
    0x9C, 0x40, 0x27, 0x12, 0x00, 0x0C, 0xAA, 0xA4,                                     // UDP
    'i', 'n', 'f', 'o'};

UdpFrame sampleReply()
{
    UdpFrame udp;
    udp.srcMac = {0x02, 0x00, 0x00, 0x00, 0x01, 0x01};
    udp.dstMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x99};
    udp.srcIp = 0xC000020Au;
    udp.dstIp = 0xC0000201u;
    udp.srcPort = 10002;
    udp.dstPort = 40000;
    udp.payload = Bytes(172, 0x5A);
    return udp;
}

} // namespace

TEST(InternetChecksum, KnownHeader)
{
    // Classic example header with its checksum field zeroed: the checksum is B861.
    const Bytes header{0x45, 0x00, 0x00, 0x73, 0x00, 0x00, 0x40, 0x00, 0x40, 0x11,
                       0x00, 0x00, 0xC0, 0xA8, 0x00, 0x01, 0xC0, 0xA8, 0x00, 0xC7};
    EXPECT_EQ(internetChecksum(header), 0xB861);
    Bytes odd{0x01, 0x02, 0x03};
    EXPECT_EQ(internetChecksum(odd), static_cast<std::uint16_t>(~(0x0102 + 0x0300)));
}

TEST(ParseFrame, ReadsAHandWrittenProbe)
{
    const ParsedFrame parsed = parseFrame(kProbeFrame);
    const auto* udp = std::get_if<UdpFrame>(&parsed);
    ASSERT_NE(udp, nullptr);
    EXPECT_EQ(udp->dstMac, kBroadcastMac);
    EXPECT_EQ(udp->srcMac, (MacAddress{0x02, 0, 0, 0, 0, 0x99}));
    EXPECT_EQ(udp->srcIp, 0xC0000201u);
    EXPECT_EQ(udp->dstIp, 0xFFFFFFFFu);
    EXPECT_EQ(udp->srcPort, 40000);
    EXPECT_EQ(udp->dstPort, 10002);
    EXPECT_EQ(udp->payload, (Bytes{'i', 'n', 'f', 'o'}));
}

TEST(ParseFrame, IgnoresEthernetPadding)
{
    Bytes padded = kProbeFrame;
    padded.resize(60, 0xEE);
    const ParsedFrame parsed = parseFrame(padded);
    const auto* udp = std::get_if<UdpFrame>(&parsed);
    ASSERT_NE(udp, nullptr);
    EXPECT_EQ(udp->payload.size(), 4u);
}

TEST(ParseFrame, DropsDamagedFrames)
{
    Bytes badHeader = kProbeFrame;
    badHeader[25] ^= 1; // IPv4 header checksum
    EXPECT_TRUE(std::holds_alternative<std::monostate>(parseFrame(badHeader)));

    Bytes badUdp = kProbeFrame;
    badUdp[45] ^= 1; // payload changed under the UDP checksum
    EXPECT_TRUE(std::holds_alternative<std::monostate>(parseFrame(badUdp)));

    Bytes noUdpChecksum = badUdp;
    noUdpChecksum[40] = noUdpChecksum[41] = 0; // "no checksum" is allowed
    EXPECT_TRUE(std::holds_alternative<UdpFrame>(parseFrame(noUdpChecksum)));

    Bytes fragment = kProbeFrame;
    fragment[20] = 0x20; // more fragments; fix up the header checksum
    fragment[24] = fragment[25] = 0;
    const std::uint16_t sum = internetChecksum(std::span(fragment).subspan(14, 20));
    fragment[24] = static_cast<std::uint8_t>(sum >> 8);
    fragment[25] = static_cast<std::uint8_t>(sum);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(parseFrame(fragment)));

    EXPECT_TRUE(std::holds_alternative<std::monostate>(parseFrame(std::span(kProbeFrame).first(40))));
    Bytes ipv6 = kProbeFrame;
    ipv6[12] = 0x86;
    ipv6[13] = 0xDD;
    EXPECT_TRUE(std::holds_alternative<std::monostate>(parseFrame(ipv6)));
}

TEST(BuildUdpFrame, HeadersAndChecksumsAreRight)
{
    const Bytes frame = buildUdpFrame(sampleReply());
    ASSERT_EQ(frame.size(), 14u + 20 + 8 + 172);
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 6), (Bytes{0x02, 0, 0, 0, 0, 0x99}));
    EXPECT_EQ(Bytes(frame.begin() + 6, frame.begin() + 12), (Bytes{0x02, 0, 0, 0, 1, 1}));
    EXPECT_EQ(frame[12], 0x08);
    EXPECT_EQ(frame[13], 0x00);
    EXPECT_EQ(frame[14], 0x45);
    EXPECT_EQ((frame[16] << 8) | frame[17], 200);           // IPv4 total length
    EXPECT_EQ(frame[23], 17);                                // UDP
    EXPECT_EQ(internetChecksum(std::span(frame).subspan(14, 20)), 0);
    EXPECT_EQ((frame[34] << 8) | frame[35], 10002);
    EXPECT_EQ((frame[36] << 8) | frame[37], 40000);
    EXPECT_EQ((frame[38] << 8) | frame[39], 180);            // UDP length

    // UDP checksum over the pseudo header, recomputed here independently.
    std::uint32_t sum = 0xC000 + 0x020A + 0xC000 + 0x0201 + 17 + 180;
    for (std::size_t i = 34; i + 1 < frame.size(); i += 2) sum += (frame[i] << 8) | frame[i + 1];
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    EXPECT_EQ(sum, 0xFFFFu);
}

TEST(BuildUdpFrame, RoundTripsAndPadsShortFrames)
{
    UdpFrame small = sampleReply();
    small.payload = {0xFA};
    const Bytes frame = buildUdpFrame(small);
    EXPECT_EQ(frame.size(), 60u);
    const ParsedFrame parsed = parseFrame(frame);
    const auto* udp = std::get_if<UdpFrame>(&parsed);
    ASSERT_NE(udp, nullptr);
    EXPECT_EQ(udp->payload, (Bytes{0xFA}));
    EXPECT_EQ(udp->srcIp, small.srcIp);
    EXPECT_EQ(udp->dstPort, small.dstPort);
}

TEST(ArpFrames, BuildAndParse)
{
    ArpFrame reply;
    reply.ethDst = {0x02, 0, 0, 0, 0, 0x99};
    reply.ethSrc = {0x02, 0, 0, 0, 1, 1};
    reply.operation = kArpReply;
    reply.senderMac = reply.ethSrc;
    reply.senderIp = 0xC000020Au;
    reply.targetMac = reply.ethDst;
    reply.targetIp = 0xC0000201u;
    const Bytes frame = buildArpFrame(reply);
    ASSERT_EQ(frame.size(), 60u);
    EXPECT_EQ(Bytes(frame.begin() + 12, frame.begin() + 22), (Bytes{0x08, 0x06, 0, 1, 0x08, 0, 6, 4, 0, 2}));
    EXPECT_EQ(Bytes(frame.begin() + 28, frame.begin() + 32), (Bytes{192, 0, 2, 10}));
    const ParsedFrame parsed = parseFrame(frame);
    const auto* arp = std::get_if<ArpFrame>(&parsed);
    ASSERT_NE(arp, nullptr);
    EXPECT_EQ(arp->operation, kArpReply);
    EXPECT_EQ(arp->senderMac, reply.senderMac);
    EXPECT_EQ(arp->targetIp, reply.targetIp);
}

TEST(ParseFrame, UnfinishedOffloadChecksumCanBeLetThrough)
{
    Bytes partial = kProbeFrame;
    partial[40] = 0x12; // what a sender with checksum offload leaves behind
    partial[41] = 0x34;
    EXPECT_TRUE(std::holds_alternative<std::monostate>(parseFrame(partial)));
    EXPECT_TRUE(std::holds_alternative<UdpFrame>(parseFrame(partial, false)));
    Bytes badHeader = partial;
    badHeader[25] ^= 1; // the IPv4 header checksum is never offloaded
    EXPECT_TRUE(std::holds_alternative<std::monostate>(parseFrame(badHeader, false)));
}
