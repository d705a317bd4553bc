#include "commands/address_rules.h"

#include "commands/address_plan.h"
#include "discovery/address_text.h"
#include "platform/ipv4_address.h"

namespace tarrowind {
namespace {

int PrefixLength(std::uint32_t hostOrderMask)
{
    return __builtin_popcount(hostOrderMask);
}

}  // namespace

AddressRule CheckAddressing(const Addressing& a, const ModuleAddressTest& isOtherModule)
{
    if (a.dhcp) {
        return AddressRule::Usable;
    }
    const std::uint32_t mask = NetworkToHostOrder(a.mask);
    const std::uint32_t ip = NetworkToHostOrder(a.ip);
    if (!IsSubnetMask(mask)) {
        return AddressRule::MaskNotMask;
    }
    if (mask == 0xFFFFFFFFu) {
        return AddressRule::MaskTooNarrow;
    }
    if (!IsHostAddress(ip, mask)) {
        return AddressRule::AddressNotHost;
    }
    if (a.gateway == 0) {
        return AddressRule::Usable;
    }
    const std::uint32_t gateway = NetworkToHostOrder(a.gateway);
    if ((gateway & mask) != (ip & mask) || !IsHostAddress(gateway, mask)) {
        return AddressRule::GatewayOffSubnet;
    }
    if (gateway == ip) {
        return AddressRule::GatewayIsAddress;
    }
    if (isOtherModule && isOtherModule(a.gateway)) {
        return AddressRule::GatewayIsModule;
    }
    return AddressRule::Usable;
}

std::string DescribeAddressRule(AddressRule rule, const Addressing& a)
{
    const std::string subnet = FormatIp(a.ip) + "/" + std::to_string(PrefixLength(NetworkToHostOrder(a.mask)));
    switch (rule) {
    case AddressRule::Usable:
        return "the addressing is usable";
    case AddressRule::MaskNotMask:
        return "the subnet mask " + FormatIp(a.mask) + " is not a mask (ones followed by zeros)";
    case AddressRule::MaskTooNarrow:
        return "the subnet mask 255.255.255.255 leaves the module alone on its subnet";
    case AddressRule::AddressNotHost:
        return "the address " + FormatIp(a.ip) + " is not a host address of its subnet (" + subnet +
               "): the network or broadcast address, or not a unicast address";
    case AddressRule::GatewayOffSubnet:
        return "the gateway " + FormatIp(a.gateway) + " is not a host address of the module's subnet (" + subnet + ")";
    case AddressRule::GatewayIsAddress:
        return "the gateway " + FormatIp(a.gateway) + " is the module's own address";
    case AddressRule::GatewayIsModule:
        return "the gateway " + FormatIp(a.gateway) + " is the address of another module";
    }
    return "the addressing is not usable";
}

Addressing CurrentAddressing(const DeviceRecord& r)
{
    return Addressing{r.dhcp != 0, r.ip, ParseIpText(r.maskText), ParseIpText(r.gatewayText)};
}

Addressing AddressingAfter(const DeviceRecord& r, const SettingsChange& change)
{
    Addressing a = CurrentAddressing(r);
    a.dhcp = change.dhcp.value_or(a.dhcp);
    a.ip = change.ip.value_or(a.ip);
    a.mask = change.mask.value_or(a.mask);
    a.gateway = change.gateway.value_or(a.gateway);
    return a;
}

bool ChangesAddressing(const SettingsChange& change)
{
    return change.dhcp || change.ip || change.mask || change.gateway;
}

}  // namespace tarrowind
