#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarrowind {

// One local IPv4 address with its mask, both in network byte order.
struct LocalAddress {
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
};

// Four decimal numbers of 0 to 255 with dots between, in network byte order; nothing for any other text
// (no leading zeros, no spaces, no host names).
std::optional<std::uint32_t> DottedAddress(const std::string& text);

// Whether `address` (network byte order) can belong to a module on the network, so that a request to it
// may carry credentials: not 0.0.0.0, not loopback (127/8), not multicast (224/4) or the limited
// broadcast, not one of this computer's own addresses nor the directed broadcast of one of its subnets.
bool IsModuleAddress(std::uint32_t address, std::span<const LocalAddress> own);
// Whether a request may go to `address`: a module's address or, given the tests' allowance for their
// servers, a loopback address that is not listed among the computer's own.
bool MayConnectTo(std::uint32_t address, std::span<const LocalAddress> own, bool allowLoopback);

class AdapterTable;
// This computer's addresses as the adapter table lists them now; none when it cannot be read.
std::vector<LocalAddress> OwnAddresses(AdapterTable& table);

}  // namespace tarrowind
