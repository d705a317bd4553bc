#include "frame_codec.h"

#include <algorithm>

namespace tarrowind::sim {

namespace {

constexpr std::size_t kEthHeader = 14;
constexpr std::size_t kMinFrame = 60;
constexpr std::uint16_t kEtherIpv4 = 0x0800;
constexpr std::uint16_t kEtherArp = 0x0806;
constexpr std::uint8_t kProtoUdp = 17;

std::uint16_t read16(std::span<const std::uint8_t> b, std::size_t at)
{
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

std::uint32_t read32(std::span<const std::uint8_t> b, std::size_t at)
{
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) |
           std::uint32_t{b[at + 3]};
}

void write16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v)
{
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}

void write32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    b[at] = static_cast<std::uint8_t>(v >> 24);
    b[at + 1] = static_cast<std::uint8_t>(v >> 16);
    b[at + 2] = static_cast<std::uint8_t>(v >> 8);
    b[at + 3] = static_cast<std::uint8_t>(v);
}

MacAddress readMac(std::span<const std::uint8_t> b, std::size_t at)
{
    MacAddress mac;
    std::copy_n(b.begin() + static_cast<std::ptrdiff_t>(at), 6, mac.begin());
    return mac;
}

void writeMac(std::vector<std::uint8_t>& b, std::size_t at, const MacAddress& mac)
{
    std::copy(mac.begin(), mac.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
}

std::uint32_t sumWords(std::span<const std::uint8_t> bytes, std::uint32_t sum = 0)
{
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) sum += static_cast<std::uint32_t>((bytes[i] << 8) | bytes[i + 1]);
    if (i < bytes.size()) sum += static_cast<std::uint32_t>(bytes[i] << 8);
    return sum;
}

std::uint16_t fold(std::uint32_t sum)
{
    while (sum >> 16) sum = (sum & 0xFFFFu) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

// UDP checksum over the pseudo header and the UDP header + payload (checksum field as stored).
std::uint16_t udpChecksum(Ipv4Address src, Ipv4Address dst, std::span<const std::uint8_t> udp)
{
    std::uint32_t sum = 0;
    sum += src >> 16;
    sum += src & 0xFFFFu;
    sum += dst >> 16;
    sum += dst & 0xFFFFu;
    sum += kProtoUdp;
    sum += static_cast<std::uint32_t>(udp.size());
    return fold(sumWords(udp, sum));
}

ParsedFrame parseIpv4(std::span<const std::uint8_t> frame, bool checkUdpChecksum)
{
    const auto ip = frame.subspan(kEthHeader);
    if (ip.size() < 20 || (ip[0] >> 4) != 4) return {};
    const std::size_t headerLength = std::size_t{ip[0] & 0x0Fu} * 4;
    const std::size_t totalLength = read16(ip, 2);
    // Frames may carry padding after the datagram, so the IPv4 total length decides.
    if (headerLength < 20 || totalLength < headerLength || totalLength > ip.size()) return {};
    if (internetChecksum(ip.first(headerLength)) != 0) return {};
    if ((read16(ip, 6) & 0x3FFFu) != 0) return {}; // fragment: offset or more-fragments set
    if (ip[9] != kProtoUdp) return {};

    const auto udp = ip.subspan(headerLength, totalLength - headerLength);
    if (udp.size() < 8) return {};
    const std::size_t udpLength = read16(udp, 4);
    if (udpLength < 8 || udpLength > udp.size()) return {};
    const auto datagram = udp.first(udpLength);

    UdpFrame out;
    out.dstMac = readMac(frame, 0);
    out.srcMac = readMac(frame, 6);
    out.srcIp = read32(ip, 12);
    out.dstIp = read32(ip, 16);
    if (checkUdpChecksum && read16(udp, 6) != 0 && udpChecksum(out.srcIp, out.dstIp, datagram) != 0) return {};
    out.srcPort = read16(udp, 0);
    out.dstPort = read16(udp, 2);
    out.payload.assign(datagram.begin() + 8, datagram.end());
    return out;
}

ParsedFrame parseArp(std::span<const std::uint8_t> frame)
{
    const auto arp = frame.subspan(kEthHeader);
    if (arp.size() < 28) return {};
    if (read16(arp, 0) != 1 || read16(arp, 2) != kEtherIpv4 || arp[4] != 6 || arp[5] != 4) return {};
    ArpFrame out;
    out.ethDst = readMac(frame, 0);
    out.ethSrc = readMac(frame, 6);
    out.operation = read16(arp, 6);
    out.senderMac = readMac(arp, 8);
    out.senderIp = read32(arp, 14);
    out.targetMac = readMac(arp, 18);
    out.targetIp = read32(arp, 24);
    return out;
}

} // namespace

std::uint16_t internetChecksum(std::span<const std::uint8_t> bytes)
{
    return fold(sumWords(bytes));
}

ParsedFrame parseFrame(std::span<const std::uint8_t> frame, bool checkUdpChecksum)
{
    if (frame.size() < kEthHeader) return {};
    switch (read16(frame, 12)) {
    case kEtherIpv4: return parseIpv4(frame, checkUdpChecksum);
    case kEtherArp: return parseArp(frame);
    default: return {};
    }
}

std::vector<std::uint8_t> buildUdpFrame(const UdpFrame& udp)
{
    const std::size_t udpLength = 8 + udp.payload.size();
    const std::size_t ipLength = 20 + udpLength;
    std::vector<std::uint8_t> frame(std::max(kMinFrame, kEthHeader + ipLength), 0);
    writeMac(frame, 0, udp.dstMac);
    writeMac(frame, 6, udp.srcMac);
    write16(frame, 12, kEtherIpv4);

    const std::size_t ip = kEthHeader;
    frame[ip] = 0x45;
    write16(frame, ip + 2, static_cast<std::uint16_t>(ipLength));
    write16(frame, ip + 6, 0x4000); // don't fragment, so an identification of 0 is fine
    frame[ip + 8] = 64;
    frame[ip + 9] = kProtoUdp;
    write32(frame, ip + 12, udp.srcIp);
    write32(frame, ip + 16, udp.dstIp);
    write16(frame, ip + 10, internetChecksum(std::span(frame).subspan(ip, 20)));

    const std::size_t u = ip + 20;
    write16(frame, u, udp.srcPort);
    write16(frame, u + 2, udp.dstPort);
    write16(frame, u + 4, static_cast<std::uint16_t>(udpLength));
    std::copy(udp.payload.begin(), udp.payload.end(), frame.begin() + static_cast<std::ptrdiff_t>(u + 8));
    std::uint16_t checksum = udpChecksum(udp.srcIp, udp.dstIp, std::span(frame).subspan(u, udpLength));
    if (checksum == 0) checksum = 0xFFFF; // 0 would mean "no checksum"
    write16(frame, u + 6, checksum);
    return frame;
}

std::vector<std::uint8_t> buildArpFrame(const ArpFrame& arp)
{
    std::vector<std::uint8_t> frame(kMinFrame, 0);
    writeMac(frame, 0, arp.ethDst);
    writeMac(frame, 6, arp.ethSrc);
    write16(frame, 12, kEtherArp);
    const std::size_t a = kEthHeader;
    write16(frame, a, 1);
    write16(frame, a + 2, kEtherIpv4);
    frame[a + 4] = 6;
    frame[a + 5] = 4;
    write16(frame, a + 6, arp.operation);
    writeMac(frame, a + 8, arp.senderMac);
    write32(frame, a + 14, arp.senderIp);
    writeMac(frame, a + 18, arp.targetMac);
    write32(frame, a + 24, arp.targetIp);
    return frame;
}

} // namespace tarrowind::sim
