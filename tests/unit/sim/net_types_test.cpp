#include "net_types.h"

#include <gtest/gtest.h>

using namespace tarrowind::sim;

TEST(MacText, ParsesColonAndDashSeparatorsInEitherCase)
{
    const MacAddress expected{0x02, 0x11, 0x2A, 0x0A, 0x0B, 0xFC};
    EXPECT_EQ(parseMac("02:11:2a:0A:0b:FC"), expected);
    EXPECT_EQ(parseMac("02-11-2A-0A-0B-FC"), expected);
}

TEST(MacText, RejectsMalformedText)
{
    EXPECT_FALSE(parseMac("02:11:2A:0A:0B"));
    EXPECT_FALSE(parseMac("02:11:2A:0A:0B:0C:0D"));
    EXPECT_FALSE(parseMac("02:11-2A:0A:0B:0C")); // mixed separators
    EXPECT_FALSE(parseMac("02:11:2G:0A:0B:0C"));
    EXPECT_FALSE(parseMac("021122FD0102"));
}

TEST(MacText, FormatsUpperCaseWithColons)
{
    EXPECT_EQ(formatMac({0x02, 0x11, 0x22, 0xFD, 0x01, 0x0a}), "02:11:22:FD:01:0A");
}

TEST(Ipv4Text, FirstNumberIsMostSignificant)
{
    EXPECT_EQ(parseIpv4("192.0.2.10"), 0xC000020Au);
    EXPECT_EQ(formatIpv4(0xC633640Bu), "198.51.100.11");
    EXPECT_EQ(parseIpv4("255.255.255.255"), 0xFFFFFFFFu);
}

