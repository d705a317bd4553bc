#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "discovery/device_record.h"
#include "operations/settings_change.h"

namespace tarrowind {

// A module's addressing as it would be after a change; addresses in network byte order.
struct Addressing {
    bool dhcp = false;
    std::uint32_t ip = 0;
    std::uint32_t mask = 0;
    std::uint32_t gateway = 0;  // 0: no gateway
};

// What is wrong with an addressing; the first rule broken is named.
enum class AddressRule {
    Usable,
    MaskNotMask,       // not a run of ones followed by zeros
    MaskTooNarrow,     // 32 ones: the module would be alone on its subnet, no peer or gateway on-link
    AddressNotHost,    // 0.x, loopback, multicast or reserved, or the subnet's network or broadcast address
    GatewayOffSubnet,  // the gateway is not a host address of the module's subnet
    GatewayIsAddress,  // the gateway is the module's own address
    GatewayIsModule,   // the gateway is another module's address
};

// True for an address some other module has, or is given by the same change.
using ModuleAddressTest = std::function<bool(std::uint32_t address)>;

// The rules every address a module is given keeps, however it is given (the settings sheet, a plan,
// address assignment, the command line). With its DHCP client on a module does not use the static
// fields, so they are not held to the rules then; they are as soon as a change turns DHCP off.
// A /31 is a point-to-point subnet: both of its addresses are hosts.
AddressRule CheckAddressing(const Addressing& addressing, const ModuleAddressTest& isOtherModule);

// One English sentence (for the command line), naming the values.
std::string DescribeAddressRule(AddressRule rule, const Addressing& addressing);

// The module's addressing as its record shows it now.
Addressing CurrentAddressing(const DeviceRecord& record);
// The addressing after `change`, the fields it leaves out as the record shows them.
Addressing AddressingAfter(const DeviceRecord& record, const SettingsChange& change);
// Whether `change` touches the addressing at all; a change of the name alone is not held to the rules,
// so that a module set up oddly can still be renamed.
bool ChangesAddressing(const SettingsChange& change);

}  // namespace tarrowind
