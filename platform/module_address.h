#pragma once

#include <span>
#include <vector>

#include "platform/ipv4_address.h"

namespace tarrowind {

// One local IPv4 address with its mask.
struct LocalAddress {
    Ipv4Address address;
    Ipv4Address mask;
};

// Whether `address` can belong to a module on the network, so that a request to it
// may carry credentials: not 0.0.0.0, not loopback (127/8), not multicast (224/4) or the limited
// broadcast, not one of this computer's own addresses nor the directed broadcast of one of its subnets.
bool IsModuleAddress(Ipv4Address address, std::span<const LocalAddress> own);
// Whether a request may go to `address`: a module's address or, given the tests' allowance for their
// servers, a loopback address that is not listed among the computer's own.
bool MayConnectTo(Ipv4Address address, std::span<const LocalAddress> own, bool allowLoopback);

class AdapterTable;
// This computer's addresses as the adapter table lists them now; none when it cannot be read.
std::vector<LocalAddress> OwnAddresses(AdapterTable& table);

}  // namespace tarrowind
