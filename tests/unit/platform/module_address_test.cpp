#include "platform/module_address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <vector>

namespace tarrowind {
namespace {

Ipv4Address Ip(const char* dotted)
{
    in_addr a{};
    inet_pton(AF_INET, dotted, &a);
    return Ipv4Address::FromNetworkOrder(a.s_addr);
}

TEST(ModuleAddress, RefusesWhatCannotBeAModuleOnTheNetwork)
{
    const std::vector<LocalAddress> own{{Ip("192.0.2.1"), Ip("255.255.255.0")},
                                        {Ip("198.51.100.6"), Ip("255.255.255.254")},
                                        {Ip("203.0.113.9"), Ip("0.0.0.0")}};
    for (const char* refused : {"0.0.0.0", "127.0.0.1", "127.255.255.254", "224.0.0.0", "239.255.255.255",
                                "255.255.255.255", "192.0.2.1", "192.0.2.255", "198.51.100.6", "203.0.113.9"}) {
        EXPECT_FALSE(IsModuleAddress(Ip(refused), own)) << refused;
    }
    // Next to the refused ones: ordinary hosts, the /31 peer (no broadcast there), class E.
    for (const char* usable : {"0.0.0.1", "126.255.255.255", "128.0.0.1", "223.255.255.255", "240.0.0.1",
                               "192.0.2.2", "192.0.2.254", "192.0.3.255", "198.51.100.7", "203.0.113.255"}) {
        EXPECT_TRUE(IsModuleAddress(Ip(usable), own)) << usable;
    }
    EXPECT_FALSE(IsModuleAddress(Ip("127.0.0.1"), {}));
    EXPECT_TRUE(IsModuleAddress(Ip("192.0.2.1"), {}));

    // The tests' allowance opens loopback, except an address listed as the computer's own, and nothing else.
    const std::vector<LocalAddress> loopback{{Ip("127.0.0.2"), Ip("255.0.0.0")}};
    EXPECT_TRUE(MayConnectTo(Ip("127.0.0.1"), loopback, true));
    EXPECT_FALSE(MayConnectTo(Ip("127.0.0.1"), loopback, false));
    EXPECT_FALSE(MayConnectTo(Ip("127.0.0.2"), loopback, true));
    EXPECT_FALSE(MayConnectTo(Ip("224.0.0.1"), loopback, true));
    EXPECT_TRUE(MayConnectTo(Ip("192.0.2.2"), own, false));
}

}  // namespace
}  // namespace tarrowind
