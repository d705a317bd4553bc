#pragma once

#include "net_types.h"

#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

namespace tarrowind::sim {

struct UdpFrame {
    MacAddress srcMac{};
    MacAddress dstMac{};
    Ipv4Address srcIp = 0;
    Ipv4Address dstIp = 0;
    std::uint16_t srcPort = 0;
    std::uint16_t dstPort = 0;
    std::vector<std::uint8_t> payload;
};

struct ArpFrame {
    MacAddress ethSrc{};
    MacAddress ethDst{};
    std::uint16_t operation = 0; // 1 request, 2 reply
    MacAddress senderMac{};
    Ipv4Address senderIp = 0;
    MacAddress targetMac{};
    Ipv4Address targetIp = 0;
};

inline constexpr std::uint16_t kArpRequest = 1;
inline constexpr std::uint16_t kArpReply = 2;

using ParsedFrame = std::variant<std::monostate, UdpFrame, ArpFrame>;

// RFC 1071 one's-complement sum, folded and inverted.
std::uint16_t internetChecksum(std::span<const std::uint8_t> bytes);

// Ethernet II frames only. IPv4 must have a valid header checksum and no fragments; a nonzero UDP
// checksum must be right unless checkUdpChecksum is false (a sender on the same host with checksum
// offload leaves it unfinished). Anything else is the monostate.
ParsedFrame parseFrame(std::span<const std::uint8_t> frame, bool checkUdpChecksum = true);

// Ethernet + IPv4 (DF, TTL 64) + UDP with both checksums, padded to the 60-byte minimum.
std::vector<std::uint8_t> buildUdpFrame(const UdpFrame& udp);

// Ethernet + ARP for IPv4 over Ethernet, padded to the 60-byte minimum.
std::vector<std::uint8_t> buildArpFrame(const ArpFrame& arp);

} // namespace tarrowind::sim
