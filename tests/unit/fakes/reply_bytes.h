#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ipv4_address.h"

namespace tarrowind::testing {

// Builds module replies byte by byte, independently of the parser under test.
struct TextReplyFields {
    std::string name = "Door 1";
    std::string ip = "192.0.2.10";
    std::string mac = "02:00:00:00:01:01";
    std::string mask = "255.255.255.0";
    std::string gateway = "192.0.2.254";
    std::string version = "V3.10R2";
    std::string model = "QT-DC410";
};

inline void PutText(std::vector<std::uint8_t>& d, std::size_t at, std::size_t width, const std::string& text)
{
    std::memcpy(d.data() + at, text.data(), std::min(width, text.size()));
}

inline std::vector<std::uint8_t> TextReply(std::size_t length, const TextReplyFields& f = {})
{
    std::vector<std::uint8_t> d(length, 0);
    struct L { std::size_t name, nameW, ip, ipW, mac, mask, gw, ver, model; };
    const L l = length == 172   ? L{0, 20, 20, 20, 40, 58, 78, 98, 118}
                : length == 282 ? L{0, 100, 100, 50, 150, 168, 188, 208, 228}
                                : L{0, 100, 100, 20, 120, 138, 158, 178, 198};
    PutText(d, l.name, l.nameW, f.name);
    PutText(d, l.ip, l.ipW, f.ip);
    PutText(d, l.mac, 18, f.mac);
    PutText(d, l.mask, 20, f.mask);
    PutText(d, l.gw, 20, f.gateway);
    PutText(d, l.ver, 20, f.version);
    PutText(d, l.model, 30, f.model);
    return d;
}

struct BinaryReplyFields {
    std::array<std::uint8_t, 6> mac{0x02, 0x11, 0x22, 0xFD, 0x01, 0x02};
    std::array<std::uint8_t, 4> ip{192, 0, 2, 40};
    std::array<std::uint8_t, 4> mask{255, 255, 255, 0};
    std::array<std::uint8_t, 4> gateway{192, 0, 2, 254};
    std::uint8_t major = 1, minor = 2, release = 3;
    std::string name = "Reader";
    bool dhcp = false;
};

inline std::vector<std::uint8_t> BinaryReply(const BinaryReplyFields& f = {}, bool goodChecksum = true)
{
    std::vector<std::uint8_t> d(84, 0);
    d[3] = f.dhcp ? 1 : 0;
    std::memcpy(&d[5], f.ip.data(), 4);
    for (int i = 0; i < 6; ++i) {
        d[14 - i] = f.mac[i];
    }
    d[16] = f.release;
    d[17] = f.minor;
    d[18] = f.major;
    PutText(d, 19, 34, f.name);
    std::memcpy(&d[54], f.mask.data(), 4);
    std::memcpy(&d[58], f.gateway.data(), 4);
    unsigned sum = 0;
    for (int i = 0; i < 83; ++i) {
        sum += d[i];
    }
    d[83] = static_cast<std::uint8_t>(256 - sum % 256);
    if (!goodChecksum) {
        d[83] ^= 0x5A;
    }
    return d;
}

// An IPv4 address in network byte order from its four numbers.
inline std::uint32_t Ip(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    return Ipv4Address::FromOctets(a, b, c, d).NetworkOrder();
}

}  // namespace tarrowind::testing
