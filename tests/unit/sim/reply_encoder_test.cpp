#include "reply_encoder.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

using namespace tarrowind::sim;

namespace {

ModuleConfig textModule(std::uint32_t length)
{
    ModuleConfig m;
    m.kind = length == 282 ? ModuleKind::LongReply : ModuleKind::Web;
    m.replyLength = length;
    m.name = "Door 1";
    m.mac = {0x02, 0x00, 0x00, 0x00, 0x01, 0x0A};
    m.ip = 0xC000020Au;      // 192.0.2.10
    m.mask = 0xFFFFFF00u;
    m.gateway = 0xC00002FEu; // 192.0.2.254
    m.version = "V3.10R2";
    m.model = "QT-DC410";
    return m;
}

ModuleConfig binaryModule()
{
    ModuleConfig m;
    m.kind = ModuleKind::BinaryDactyl;
    m.replyLength = 84;
    m.name = "Reader A";
    m.mac = {0x02, 0x11, 0x22, 0xFD, 0x01, 0x02};
    m.ip = 0xC0000214u; // 192.0.2.20
    m.mask = 0xFFFFFF00u;
    m.gateway = 0xC0000201u;
    m.version = "V1.2R3";
    m.dhcp = true;
    m.useHttps = false;
    return m;
}

// The receiver's reading: bytes up to the first NUL, at most width - 1 of them.
std::string field(const Bytes& bytes, std::size_t offset, std::size_t width)
{
    std::string text;
    for (std::size_t i = offset; i < offset + width - 1 && bytes.at(i) != 0; ++i)
        text.push_back(static_cast<char>(bytes[i]));
    return text;
}

struct Offsets {
    std::uint32_t length;
    std::size_t name, nameWidth, ip, ipWidth, mac, mask, gateway, version, model, number;
};

void expectTextLayout(const Offsets& o)
{
    const Bytes reply = encodeTextReply(textModule(o.length));
    ASSERT_EQ(reply.size(), o.length);
    EXPECT_EQ(field(reply, o.name, o.nameWidth), "Door 1");
    EXPECT_EQ(field(reply, o.ip, o.ipWidth), "192.0.2.10");
    EXPECT_EQ(field(reply, o.mac, 18), "02:00:00:00:01:0A");
    EXPECT_EQ(field(reply, o.mask, 20), "255.255.255.0");
    EXPECT_EQ(field(reply, o.gateway, 20), "192.0.2.254");
    EXPECT_EQ(field(reply, o.version, 20), "V3.10R2");
    EXPECT_EQ(field(reply, o.model, 30), "QT-DC410");
    // The field before each one must be NUL padded up to it, or the receiver reads run-on text.
    EXPECT_EQ(reply[o.ip - 1], 0);
    EXPECT_EQ(reply[o.model - 1], 0);
    const unsigned number = reply[o.number] | (reply[o.number + 1] << 8);
    EXPECT_EQ(number, 443u);
}

} // namespace

TEST(TextReply, Layout172)
{
    expectTextLayout({172, 0, 20, 20, 20, 40, 58, 78, 98, 118, 168});
}

TEST(TextReply, Layout252)
{
    expectTextLayout({252, 0, 100, 100, 20, 120, 138, 158, 178, 198, 248});
}

TEST(TextReply, Layout256IsThe252LayoutWithFourMoreBytes)
{
    expectTextLayout({256, 0, 100, 100, 20, 120, 138, 158, 178, 198, 248});
    const Bytes reply = encodeTextReply(textModule(256));
    EXPECT_EQ(reply[252] | reply[253] | reply[254] | reply[255], 0);
}

TEST(TextReply, Layout282)
{
    expectTextLayout({282, 0, 100, 100, 50, 150, 168, 188, 208, 228, 278});
}

TEST(TextReply, MacTextOverrideIsSentVerbatim)
{
    ModuleConfig m = textModule(172);
    m.macText = "02-11-2a-0a-0b-0c";
    EXPECT_EQ(field(encodeTextReply(m), 40, 18), "02-11-2a-0a-0b-0c");
}

TEST(TextReply, AnImpostorNamesAnotherAddressInBothReplies)
{
    ModuleConfig m = textModule(252);
    m.faults.namesAddress = 0xC0000201u; // 192.0.2.1
    EXPECT_EQ(field(encodeTextReply(m), 100, 20), "192.0.2.1");
    ModuleConfig reader = binaryModule();
    reader.faults.namesAddress = 0xC0000201u;
    const Bytes reply = encodeBinaryReply(reader);
    EXPECT_EQ(Bytes(reply.begin() + 5, reply.begin() + 9), (Bytes{192, 0, 2, 1}));
}

TEST(TextReply, TextAsLongAsItsFieldFillsItWithoutNul)
{
    ModuleConfig m = textModule(172);
    m.name = std::string(25, 'N'); // longer than the 20-byte field
    const Bytes reply = encodeTextReply(m);
    for (std::size_t i = 0; i < 20; ++i) EXPECT_EQ(reply[i], 'N') << i;
    EXPECT_EQ(reply[20], '1'); // the IP text follows at once
    EXPECT_EQ(field(reply, 0, 20), std::string(19, 'N'));
}

TEST(TextReply, Utf8NameKeepsItsBytes)
{
    ModuleConfig m = textModule(252);
    m.name = "T\xC3\xBCr 1"; // "Tür 1"
    EXPECT_EQ(field(encodeTextReply(m), 0, 100), "T\xC3\xBCr 1");
}

TEST(BinaryReply, FieldsAtTheirBytes)
{
    const Bytes reply = encodeBinaryReply(binaryModule());
    ASSERT_EQ(reply.size(), 84u);
    EXPECT_EQ(reply[3], 1); // DHCP
    EXPECT_EQ(Bytes(reply.begin() + 5, reply.begin() + 9), (Bytes{192, 0, 2, 20}));
    EXPECT_EQ(Bytes(reply.begin() + 9, reply.begin() + 15), (Bytes{0x02, 0x01, 0xFD, 0x22, 0x11, 0x02}));
    EXPECT_EQ(reply[16], 3); // release
    EXPECT_EQ(reply[17], 2); // minor
    EXPECT_EQ(reply[18], 1); // major
    EXPECT_EQ(field(reply, 19, 35), "Reader A");
    EXPECT_EQ(Bytes(reply.begin() + 54, reply.begin() + 58), (Bytes{255, 255, 255, 0}));
    EXPECT_EQ(Bytes(reply.begin() + 58, reply.begin() + 62), (Bytes{192, 0, 2, 1}));
    EXPECT_NE(reply[0], 0xFA) << "must not look like a settings acknowledgement";
}

TEST(BinaryReply, AllBytesAddUpToZero)
{
    ModuleConfig m = binaryModule();
    for (const char* name : {"Reader A", "", "Door 1:x", "\xFF\xFF\xFF"}) {
        m.name = name;
        const Bytes reply = encodeBinaryReply(m);
        EXPECT_EQ(std::accumulate(reply.begin(), reply.end(), 0u) % 256, 0u) << name;
    }
}

TEST(BinaryReply, DhcpOffIsZero)
{
    ModuleConfig m = binaryModule();
    m.dhcp = false;
    EXPECT_EQ(encodeBinaryReply(m)[3], 0);
}

TEST(DiscoveryReply, BadChecksumFaultBreaksOnlyTheChecksum)
{
    ModuleConfig m = binaryModule();
    const Bytes good = encodeDiscoveryReply(m);
    m.faults.badChecksum = true;
    const Bytes bad = encodeDiscoveryReply(m);
    ASSERT_EQ(bad.size(), 84u);
    EXPECT_NE(std::accumulate(bad.begin(), bad.end(), 0u) % 256, 0u);
    EXPECT_TRUE(std::equal(good.begin(), good.begin() + 83, bad.begin()));
}

TEST(DiscoveryReply, WrongLengthFaultCutsOrPads)
{
    ModuleConfig m = textModule(252);
    m.faults.replyLength = 255;
    const Bytes padded = encodeDiscoveryReply(m);
    ASSERT_EQ(padded.size(), 255u);
    EXPECT_EQ(field(padded, 0, 100), "Door 1");
    m.faults.replyLength = 100;
    EXPECT_EQ(encodeDiscoveryReply(m).size(), 100u);
    EXPECT_EQ(encodeDiscoveryReply(binaryModule()).size(), 84u);
}

TEST(SettingsAck, MacSitsWhereTheRequestHasIt)
{
    const Bytes ack = encodeSettingsAck({0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
    EXPECT_EQ(ack, (Bytes{0xFA, 0x0C, 0xE0, 0x06, 0x05, 0x04, 0x00, 0x03, 0x02, 0x01, 0x00, 0x05}));
    EXPECT_EQ(std::accumulate(ack.begin(), ack.end(), 0u) % 256, 0u);
    // The reader from the request example: its ack carries 02 01 FD 00 22 11 02 from byte 3.
    const Bytes example = encodeSettingsAck({0x02, 0x11, 0x22, 0xFD, 0x01, 0x02});
    EXPECT_EQ(Bytes(example.begin() + 3, example.begin() + 10), (Bytes{0x02, 0x01, 0xFD, 0x00, 0x22, 0x11, 0x02}));
}

TEST(FrameChecksum, MakesTheFrameAddUpToZero)
{
    const Bytes probe{0xFF, 0x04, 0x02};
    EXPECT_EQ(frameChecksum(probe), 0xFB);
    EXPECT_EQ(frameChecksum({}), 0);
}
