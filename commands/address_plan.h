#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "commands/address_rules.h"
#include "commands/module_commands.h"
#include "commands/shared_address.h"
#include "operations/settings_change.h"
#include "platform/ipv4_address.h"

namespace tarrowind {

enum class AddressPlanError {
    None,
    StartNotAddress,     // the start is not a dotted IPv4 address
    MaskNotMask,         // the mask is not a run of ones followed by zeros, or leaves no host address
    MasksDiffer,         // no mask given and the modules do not all have the same one
    StartNotHost,        // the start is its subnet's network or broadcast address
    PastSubnet,          // the run of addresses would reach the subnet's broadcast address or beyond
    GatewayNotAddress,   // the gateway is not a dotted IPv4 address
    GatewayNotOnSubnet,  // the gateway is not a host address of the subnet
    GatewayAssigned,     // the gateway is one of the addresses the run gives
    GatewayIsModule,     // the gateway is the address of a listed module
};

// English, for the command line and the window's message.
std::string DescribeAddressPlanError(AddressPlanError error);

enum class AddressNote {
    Assigned,         // gets `newIp`; with `sharing` above 1 after the others on its old address
    InUse,            // `newIp` is used by `usedBy`: the module is not changed
    NotOffered,       // the settings command is not offered for it (`skip`): it takes no address
    Unusable,         // with what it keeps the new address breaks `rule`: the module is not changed
    CannotTellApart,  // `sharing` modules have its address and this process cannot reach one of them
                      // alone (no static neighbour entries): none of them is changed
};

struct AddressPlanRow {
    DeviceRecord* record = nullptr;
    std::uint32_t oldIp = 0;  // network byte order
    std::uint32_t newIp = 0;  // network byte order; 0 for NotOffered
    AddressNote note = AddressNote::Assigned;
    const DeviceRecord* usedBy = nullptr;       // for InUse
    SkipReason skip = SkipReason::NotEligible;  // for NotOffered
    AddressRule rule = AddressRule::Usable;     // for Unusable
    Addressing addressing;                      // for Unusable: what the module would have
    int sharing = 1;                            // listed modules on `oldIp`, this one included
    SettingsChange change;                      // what to queue for Assigned
};

struct AddressPlan {
    AddressPlanError error = AddressPlanError::None;
    std::vector<AddressPlanRow> rows;  // in the order of `selected`

    // The Assigned rows, for ModuleCommands::ChangeSettings.
    std::vector<std::pair<DeviceRecord*, SettingsChange>> Changes() const;
};

// A field as typed, without its leading and trailing blanks and tabs.
std::string_view TrimmedField(std::string_view text);
// A dotted IPv4 address as the user types it: four decimal numbers of 0 to 255, white space around it
// allowed, and a leading zero read as decimal ("010" is 10).
std::optional<Ipv4Address> ParseDottedAddress(std::string_view text);
// A subnet mask of 1 to 32 leading ones (host byte order).
bool IsSubnetMask(std::uint32_t hostOrderMask);
// An address a module can take on the subnet of `hostOrderMask` (host byte order): not 0.x, loopback,
// multicast or reserved, and, for masks of up to 30 ones, neither the subnet's network nor its broadcast
// address.
bool IsHostAddress(std::uint32_t hostOrderAddress, std::uint32_t hostOrderMask);

// Why the settings command would leave the module alone; nullopt when it is offered.
std::optional<SkipReason> SettingNotOfferedReason(const DeviceRecord& record);

// Gives the offered modules of `selected` consecutive addresses from `start`, in the order given. `mask`
// empty: each module keeps its mask, which must be the same for all of them. `gateway` empty: each keeps
// its gateway. A module with its DHCP client on has it turned off, as it would ignore a fixed address.
// `listed` is every record of the list, for the in-use check. Modules that share one address (new ones
// on their factory address) are moved one after another, each reached by its MAC through a static
// neighbour entry; without `neighbourEntries` (the process may not make them) they cannot be told apart
// and none of them is moved, except readers, whose settings go by broadcast with their MAC.
AddressPlan PlanAddresses(const std::vector<DeviceRecord*>& selected, const std::vector<const DeviceRecord*>& listed,
                          std::string_view start, std::string_view mask, std::string_view gateway,
                          bool neighbourEntries = true);

}  // namespace tarrowind
