#include "platform/ipv4_address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace tarrowind {
namespace {

using Zeros = Ipv4Address::LeadingZeros;

TEST(Ipv4Address, OrdersAndTextRoundTrip)
{
    in_addr system{};
    ASSERT_EQ(inet_pton(AF_INET, "192.0.2.10", &system), 1);
    const auto a = Ipv4Address::FromText("192.0.2.10");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->NetworkOrder(), system.s_addr);
    EXPECT_EQ(a->HostOrder(), 0xC000020Au);
    EXPECT_EQ(Ipv4Address::FromNetworkOrder(system.s_addr), *a);
    EXPECT_EQ(Ipv4Address::FromHostOrder(0xC000020Au), Ipv4Address::FromOctets(192, 0, 2, 10));
    EXPECT_EQ(NetworkToHostOrder(HostToNetworkOrder(0x01020304u)), 0x01020304u);
    for (const char* text : {"0.0.0.0", "192.0.2.10", "255.255.255.255", "10.200.3.99"}) {
        EXPECT_EQ(Ipv4Address::FromText(text)->ToText(), text);
    }
    EXPECT_LT(Ipv4Address::FromOctets(9, 255, 255, 255), Ipv4Address::FromOctets(10, 0, 0, 0));
}

TEST(Ipv4Address, OnlyFourPlainNumbersAreAnAddress)
{
    // A leading zero could be read as octal further on (010 as 8); a host name, spaces or a line end
    // would reach the address line.
    for (const char* text : {"010.0.0.1", "192.0.2.01", "0192.0.2.1", "192.0.2", "192.0.2.1.5", "192.0.2.256",
                             "1000.0.0.1", "192..2.1", "192.0.2.1 ", " 192.0.2.1", "192.0.2.1\r\nX: y", "localhost",
                             "", "0x7f.0.0.1", "+1.0.0.1", "1.2.0255.4"}) {
        EXPECT_EQ(Ipv4Address::FromText(text), std::nullopt) << text;
    }
    // Where a leading zero is decimal, it still takes at most three digits.
    EXPECT_EQ(Ipv4Address::FromText("010.001.0.9", Zeros::Decimal), Ipv4Address::FromOctets(10, 1, 0, 9));
    EXPECT_EQ(Ipv4Address::FromText("0010.0.0.1", Zeros::Decimal), std::nullopt);

    std::string_view rest = "192.0.2.1-192.0.2.9";
    EXPECT_EQ(Ipv4Address::ReadText(rest), Ipv4Address::FromOctets(192, 0, 2, 1));
    EXPECT_EQ(rest, "-192.0.2.9");
    rest = "192.0.2.1234";
    EXPECT_EQ(Ipv4Address::ReadText(rest), std::nullopt);
    EXPECT_EQ(rest, "192.0.2.1234");
}

}  // namespace
}  // namespace tarrowind
