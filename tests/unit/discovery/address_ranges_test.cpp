#include <gtest/gtest.h>

#include "discovery/address_ranges.h"
#include "platform/ipv4_address.h"

namespace tarrowind {
namespace {

constexpr std::uint32_t A(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    return Ipv4Address::FromOctets(a, b, c, d).HostOrder();
}

AddressRanges Parse(std::string_view text)
{
    AddressRanges out;
    const RangeParse p = ParseAddressRanges(text, out);
    EXPECT_EQ(p.error, RangeError::None) << text << ": " << DescribeRangeError(p);
    return out;
}

RangeParse Fail(std::string_view text)
{
    AddressRanges out{{{A(10, 9, 9, 9), A(10, 9, 9, 9)}}};
    const RangeParse p = ParseAddressRanges(text, out);
    EXPECT_NE(p.error, RangeError::None) << text;
    EXPECT_EQ(out.ranges.size(), 1u) << "left as it was: " << text;
    EXPECT_EQ(out.ranges[0].first, A(10, 9, 9, 9));
    return p;
}

TEST(AddressRanges, ThreeFormsAndTheEndsOfCidrBlocks)
{
    // A block of prefix 30 or shorter leaves out its network and broadcast addresses.
    EXPECT_EQ(Parse("10.20.0.0/22").ranges, (std::vector<AddressRange>{{A(10, 20, 0, 1), A(10, 20, 3, 254)}}));
    EXPECT_EQ(Parse("10.20.0.0/22").Count(), 1022u);
    EXPECT_EQ(Parse("192.0.2.8/30").Count(), 2u);
    EXPECT_EQ(Parse("192.0.2.8/31").ranges, (std::vector<AddressRange>{{A(192, 0, 2, 8), A(192, 0, 2, 9)}}));
    EXPECT_EQ(Parse("192.0.2.8/32").Count(), 1u);
    // Host bits of a block are ignored: the block holding the address is meant.
    EXPECT_EQ(Parse("10.20.1.77/22"), Parse("10.20.0.0/22"));
    // A first-last range is probed as given, ends included.
    EXPECT_EQ(Parse("192.0.2.0-192.0.2.255").Count(), 256u);
    EXPECT_EQ(Parse("198.51.100.7").ranges, (std::vector<AddressRange>{{A(198, 51, 100, 7), A(198, 51, 100, 7)}}));
}

TEST(AddressRanges, SeparatorsAndOverlapsCountOnce)
{
    const AddressRanges r = Parse(" 192.0.2.10 - 192.0.2.20,198.51.100.1;\n192.0.2.15-192.0.2.30\t192.0.2.31 203.0.113.0 / 24\r\n");
    EXPECT_EQ(r.ranges, (std::vector<AddressRange>{{A(192, 0, 2, 10), A(192, 0, 2, 31)},
                                                   {A(198, 51, 100, 1), A(198, 51, 100, 1)},
                                                   {A(203, 0, 113, 1), A(203, 0, 113, 254)}}));
    EXPECT_EQ(r.Count(), 22u + 1 + 254);
    // The same block twice is as large as once, and so may be given as often as one likes.
    EXPECT_EQ(Parse("10.0.0.0/16 10.0.0.0/16 10.0.5.0/24").Count(), 65534u);
}

TEST(AddressRanges, BadItemsAreNamed)
{
    for (const char* text : {"10.0.0", "10.0.0.256", "10.0.0.1.", "010.0.0.1", "10.0.0.1/33", "10.0.0.1/", "10.0.0.1-",
                             "10.0.0.1-10.0.0", "a.b.c.d", "10.0.0.1/24/2", "10.0.0.1-10.0.0.2-10.0.0.3", "+1.2.3.4",
                             "1.2.3.4x", "1.2.3.4/024", "-"}) {
        const RangeParse p = Fail(std::string("192.0.2.1, ") + text);
        EXPECT_EQ(p.error, RangeError::NotARange) << text;
        EXPECT_EQ(p.item, text);
        EXPECT_NE(DescribeRangeError(p).find(text), std::string::npos);
    }
    EXPECT_EQ(Fail("").error, RangeError::Empty);
    EXPECT_EQ(Fail(" ,;\n").error, RangeError::Empty);
    EXPECT_EQ(Fail("10.0.0.9-10.0.0.1").error, RangeError::Reversed);
}

TEST(AddressRanges, OnlyUnicastAddresses)
{
    for (const char* text : {"0.1.2.3", "127.0.0.1", "224.0.0.1", "255.255.255.255", "0.0.0.0/0", "126.0.0.0/7",
                             "126.255.255.250-128.0.0.5", "223.255.255.250-224.0.0.1", "239.1.1.0/24"}) {
        EXPECT_EQ(Fail(text).error, RangeError::NotUnicast) << text;
    }
    EXPECT_EQ(Parse("1.0.0.0, 126.255.255.255 128.0.0.0 223.255.255.255").Count(), 4u);
}

TEST(AddressRanges, AtMostTheLimitInAll)
{
    EXPECT_EQ(Parse("10.0.0.0-10.0.255.255").Count(), kMaxRangeAddresses);
    EXPECT_EQ(Fail("10.0.0.0-10.1.0.0").error, RangeError::TooMany);
    const RangeParse p = Fail("10.0.0.0-10.0.255.255 10.1.0.0");
    EXPECT_EQ(p.error, RangeError::TooMany);
    EXPECT_NE(DescribeRangeError(p).find("65536"), std::string::npos);
    EXPECT_EQ(Fail("10.0.0.0/8").error, RangeError::TooMany);
}

TEST(AddressRanges, CanonicalTextParsesBack)
{
    for (const char* text : {"10.20.0.0/22", "192.0.2.0-192.0.2.255", "192.0.2.8/31", "198.51.100.7",
                             "203.0.113.128/26, 203.0.113.7, 192.0.2.1-192.0.2.3", "1.0.0.1-1.0.0.2"}) {
        const AddressRanges r = Parse(text);
        const std::string canonical = FormatAddressRanges(r);
        EXPECT_EQ(Parse(canonical), r) << text << " -> " << canonical;
    }
    EXPECT_EQ(FormatAddressRanges(Parse("10.20.0.1-10.20.3.254")), "10.20.0.0/22");
    EXPECT_EQ(FormatAddressRanges(Parse("203.0.113.130-203.0.113.140 192.0.2.8/31 192.0.2.0/30")),
              "192.0.2.0/30, 192.0.2.8-192.0.2.9, 203.0.113.130-203.0.113.140");
}

TEST(AddressRanges, ProbeRates)
{
    EXPECT_FALSE(IsValidProbeRate(0));
    EXPECT_TRUE(IsValidProbeRate(1));
    EXPECT_TRUE(IsValidProbeRate(kDefaultProbeRate));
    EXPECT_TRUE(IsValidProbeRate(100000));
    EXPECT_FALSE(IsValidProbeRate(100001));
}

}  // namespace
}  // namespace tarrowind
