#include "discovery/address_text.h"

#include <gtest/gtest.h>

#include "tests/unit/fakes/reply_bytes.h"

namespace tarrowind {
namespace {

using testing::Ip;

TEST(AddressText, DottedTextKeepsLowBitsAndStopsAtTheFirstBadNumber)
{
    EXPECT_EQ(ParseIpText("192.0.2.1"), Ip(192, 0, 2, 1));
    EXPECT_EQ(ParseIpText("256.257.2.300"), Ip(0, 1, 2, 44));
    EXPECT_EQ(ParseIpText("10.x.3.4"), Ip(10, 0, 0, 0));
    EXPECT_EQ(ParseIpText("10.2"), Ip(10, 2, 0, 0));
    EXPECT_EQ(ParseIpText(" 10. 2.3.4"), Ip(10, 2, 3, 4));
    EXPECT_EQ(ParseIpText("-1.0.0.1"), Ip(255, 0, 0, 1));
    EXPECT_EQ(ParseIpText("99999999999999999999.1.1.1"), ParseIpText("99999999999999999999.1.1.1"));
    EXPECT_EQ(ParseIpText(""), 0u);
}

TEST(AddressText, HardwareAddressTextIsHexGroups)
{
    EXPECT_EQ(ParseMacText("02:11:2a:0A:b:0c"), (std::array<std::uint8_t, 6>{2, 0x11, 0x2A, 0x0A, 0x0B, 0x0C}));
    EXPECT_EQ(ParseMacText("102:11"), (std::array<std::uint8_t, 6>{0x02, 0x11, 0, 0, 0, 0}));
    EXPECT_EQ(ParseMacText("0x1f:zz:01"), (std::array<std::uint8_t, 6>{0x1F, 0, 0, 0, 0, 0}));
    EXPECT_EQ(FormatMac({0x02, 0x11, 0x2A, 0x0A, 0x0B, 0xFC}), "02:11:2A:0A:0B:FC");
    EXPECT_EQ(FormatIp(Ip(203, 0, 113, 9)), "203.0.113.9");
}

TEST(AddressText, InetAddrRejectsWhatTheSystemRejects)
{
    EXPECT_EQ(InetAddr("192.0.2.1"), Ip(192, 0, 2, 1));
    EXPECT_EQ(InetAddr("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(InetAddr("not an address"), 0xFFFFFFFFu);
    EXPECT_EQ(InetAddr(""), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace tarrowind
