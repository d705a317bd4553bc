#include "reply_encoder.h"
#include "settings_request.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tarrowind::sim;

namespace {

// A request built by hand from the frame's byte table, for reader 02:11:22:FD:01:02.
Bytes request(const char* name = "Hall reader", std::uint8_t dhcp = 0)
{
    Bytes b(49, 0);
    b[0] = 0xFF;
    b[1] = 0x31;
    b[2] = 0xE0;
    const Bytes mac{0x02, 0x01, 0xFD, 0x00, 0x22, 0x11, 0x02};
    std::copy(mac.begin(), mac.end(), b.begin() + 3);
    std::memcpy(b.data() + 11, name, std::min<std::size_t>(std::strlen(name), 16));
    b[28] = dhcp;
    const Bytes addresses{198, 51, 100, 30, 255, 255, 255, 0, 198, 51, 100, 254, 0x77, 0x08, 0x00, 0x00};
    std::copy(addresses.begin(), addresses.end(), b.begin() + 32);
    b[48] = frameChecksum(std::span(b).first(48));
    return b;
}

void reseal(Bytes& b)
{
    b[48] = frameChecksum(std::span(b).first(48));
}

} // namespace

TEST(SettingsRequest, DecodesMacNameAndAddresses)
{
    const auto decoded = decodeSettingsRequest(request());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->mac, (MacAddress{0x02, 0x11, 0x22, 0xFD, 0x01, 0x02}));
    EXPECT_EQ(decoded->settings.name, "Hall reader");
    EXPECT_FALSE(decoded->settings.dhcp);
    EXPECT_EQ(decoded->settings.ip, 0xC633641Eu);
    EXPECT_EQ(decoded->settings.mask, 0xFFFFFF00u);
    EXPECT_EQ(decoded->settings.gateway, 0xC63364FEu);
}

TEST(SettingsRequest, DhcpIsAnyNonzeroLittleEndianValue)
{
    EXPECT_TRUE(decodeSettingsRequest(request("x", 1))->settings.dhcp);
    Bytes high = request("x", 0);
    high[31] = 1; // most significant byte of the little-endian word
    reseal(high);
    EXPECT_TRUE(decodeSettingsRequest(high)->settings.dhcp);
}

TEST(SettingsRequest, NameStopsAtSixteenBytesEvenWithoutNul)
{
    Bytes b = request("");
    for (std::size_t i = 11; i < 28; ++i) b[i] = 'A';
    reseal(b);
    EXPECT_EQ(decodeSettingsRequest(b)->settings.name, std::string(16, 'A'));
    EXPECT_EQ(decodeSettingsRequest(request(""))->settings.name, "");
}

TEST(SettingsRequest, RejectsBadChecksumHeaderLengthAndConstant)
{
    Bytes b = request();
    b[48] ^= 1;
    EXPECT_FALSE(decodeSettingsRequest(b));

    b = request();
    b[2] = 0xE1;
    reseal(b);
    EXPECT_FALSE(decodeSettingsRequest(b));

    b = request();
    b[44] = 0x78;
    reseal(b);
    EXPECT_FALSE(decodeSettingsRequest(b));

    b = request();
    b.push_back(0);
    EXPECT_FALSE(decodeSettingsRequest(b));
    const Bytes whole = request();
    EXPECT_FALSE(decodeSettingsRequest(std::span(whole).first(48)));
}

TEST(Probes, OnlyTheExactFourBytes)
{
    EXPECT_TRUE(isTextProbe(Bytes{'i', 'n', 'f', 'o'}));
    EXPECT_FALSE(isTextProbe(Bytes{'i', 'n', 'f', 'o', 0}));
    EXPECT_FALSE(isTextProbe(Bytes{'I', 'N', 'F', 'O'}));
    EXPECT_TRUE(isBinaryProbe(Bytes{0xFF, 0x04, 0x02, 0xFB}));
    EXPECT_FALSE(isBinaryProbe(Bytes{0xFF, 0x04, 0x02, 0xFA}));
    EXPECT_FALSE(isBinaryProbe(Bytes{0xFF, 0x04, 0x02}));
}
