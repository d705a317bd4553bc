#include <gtest/gtest.h>

#include "commands/address_rules.h"
#include "discovery/address_text.h"

namespace tarrowind {
namespace {

Addressing Static(const char* ip, const char* mask, const char* gateway)
{
    return Addressing{false, ParseIpText(ip), ParseIpText(mask), ParseIpText(gateway)};
}

TEST(AddressRules, AddressAndGatewayAreHostsOfOneSubnetAndNoOtherModule)
{
    const std::uint32_t taken = ParseIpText("192.0.2.20");
    const ModuleAddressTest others = [taken](std::uint32_t a) { return a == taken; };
    const struct {
        Addressing addressing;
        AddressRule rule;
    } cases[] = {
        {Static("192.0.2.10", "255.255.255.0", "192.0.2.254"), AddressRule::Usable},
        {Static("192.0.2.10", "255.255.255.0", "0.0.0.0"), AddressRule::Usable},  // no gateway
        {Static("192.0.2.10", "255.255.0.255", "192.0.2.254"), AddressRule::MaskNotMask},
        {Static("192.0.2.15", "255.255.255.248", "192.0.2.9"), AddressRule::AddressNotHost},  // the /29's broadcast
        {Static("192.0.2.8", "255.255.255.248", "192.0.2.9"), AddressRule::AddressNotHost},   // and its network
        {Static("127.0.0.5", "255.0.0.0", "0.0.0.0"), AddressRule::AddressNotHost},
        {Static("224.0.0.5", "255.255.255.0", "0.0.0.0"), AddressRule::AddressNotHost},
        {Static("198.51.100.5", "255.255.255.0", "192.0.2.254"), AddressRule::GatewayOffSubnet},  // kept gateway
        {Static("192.0.2.10", "255.255.255.0", "192.0.2.255"), AddressRule::GatewayOffSubnet},
        {Static("192.0.2.254", "255.255.255.0", "192.0.2.254"), AddressRule::GatewayIsAddress},
        {Static("192.0.2.10", "255.255.255.0", "192.0.2.20"), AddressRule::GatewayIsModule},
        // A /31 is point to point: both addresses are hosts, the other one may be the gateway.
        {Static("192.0.2.10", "255.255.255.254", "192.0.2.11"), AddressRule::Usable},
        {Static("192.0.2.10", "255.255.255.254", "192.0.2.12"), AddressRule::GatewayOffSubnet},
        {Static("192.0.2.10", "255.255.255.255", "0.0.0.0"), AddressRule::MaskTooNarrow},
        // With DHCP on the static fields are not in force.
        {Addressing{true, ParseIpText("192.0.2.255"), 0, ParseIpText("10.0.0.1")}, AddressRule::Usable},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckAddressing(c.addressing, others), c.rule)
            << FormatIp(c.addressing.ip) << " " << FormatIp(c.addressing.mask) << " " << FormatIp(c.addressing.gateway);
    }
    EXPECT_EQ(DescribeAddressRule(AddressRule::GatewayOffSubnet, cases[7].addressing),
              "the gateway 192.0.2.254 is not a host address of the module's subnet (198.51.100.5/24)");
}

TEST(AddressRules, AChangeKeepsWhatItLeavesOutAndOnlyAddressingIsChecked)
{
    DeviceRecord r;
    r.ip = ParseIpText("192.0.2.10");
    r.maskText = "255.255.255.0";
    r.gatewayText = "192.0.2.254";
    r.dhcp = 1;
    SettingsChange change;
    change.name = "Gate";
    EXPECT_FALSE(ChangesAddressing(change));
    change.ip = ParseIpText("198.51.100.7");
    change.dhcp = false;
    const Addressing after = AddressingAfter(r, change);
    EXPECT_TRUE(ChangesAddressing(change));
    EXPECT_FALSE(after.dhcp);
    EXPECT_EQ(after.ip, ParseIpText("198.51.100.7"));
    EXPECT_EQ(after.mask, ParseIpText("255.255.255.0"));
    EXPECT_EQ(after.gateway, ParseIpText("192.0.2.254"));
    EXPECT_EQ(CheckAddressing(after, {}), AddressRule::GatewayOffSubnet);
}

}  // namespace
}  // namespace tarrowind
