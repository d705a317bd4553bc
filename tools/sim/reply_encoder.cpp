#include "reply_encoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace tarrowind::sim {

namespace {

struct TextLayout {
    std::size_t name, nameWidth;
    std::size_t ip, ipWidth;
    std::size_t mac;
    std::size_t mask;
    std::size_t gateway;
    std::size_t version;
    std::size_t model;
    std::size_t further;
    std::size_t number;
};

constexpr std::size_t kMacWidth = 18;
constexpr std::size_t kShortWidth = 20;
constexpr std::size_t kModelWidth = 30;

constexpr TextLayout kLayout172{0, 20, 20, 20, 40, 58, 78, 98, 118, 148, 168};
constexpr TextLayout kLayout252{0, 100, 100, 20, 120, 138, 158, 178, 198, 228, 248};
constexpr TextLayout kLayout282{0, 100, 100, 50, 150, 168, 188, 208, 228, 258, 278};

// Fields are NUL padded; a text as long as its field fills it with no NUL, as real modules do.
void putText(Bytes& out, std::size_t offset, std::size_t width, std::string_view text)
{
    const std::size_t count = std::min(width, text.size());
    std::memcpy(out.data() + offset, text.data(), count);
}

void putIpv4(Bytes& out, std::size_t offset, Ipv4Address ip)
{
    out[offset] = static_cast<std::uint8_t>(ip >> 24);
    out[offset + 1] = static_cast<std::uint8_t>(ip >> 16);
    out[offset + 2] = static_cast<std::uint8_t>(ip >> 8);
    out[offset + 3] = static_cast<std::uint8_t>(ip);
}

} // namespace

std::uint8_t frameChecksum(std::span<const std::uint8_t> bytes)
{
    std::uint8_t sum = 0;
    for (auto byte : bytes) sum = static_cast<std::uint8_t>(sum - byte);
    return sum;
}

Bytes encodeTextReply(const ModuleConfig& module)
{
    const TextLayout& layout = module.replyLength == 172   ? kLayout172
                               : module.replyLength == 282 ? kLayout282
                                                           : kLayout252;
    Bytes out(module.replyLength, 0);
    putText(out, layout.name, layout.nameWidth, module.name);
    putText(out, layout.ip, layout.ipWidth, formatIpv4(module.faults.namesAddress.value_or(module.ip)));
    putText(out, layout.mac, kMacWidth, module.macText ? *module.macText : formatMac(module.mac));
    putText(out, layout.mask, kShortWidth, formatIpv4(module.mask));
    putText(out, layout.gateway, kShortWidth, formatIpv4(module.gateway));
    putText(out, layout.version, kShortWidth, module.version);
    putText(out, layout.model, kModelWidth, module.model);
    // Not read by the receiver; filled like a module would, with a serial text and its web port.
    char serial[16];
    std::snprintf(serial, sizeof serial, "SN%02X%02X%02X", module.mac[3], module.mac[4], module.mac[5]);
    putText(out, layout.further, kShortWidth, serial);
    const std::uint16_t port = module.useHttps ? 443 : 80;
    out[layout.number] = static_cast<std::uint8_t>(port & 0xFF);
    out[layout.number + 1] = static_cast<std::uint8_t>(port >> 8);
    return out;
}

Bytes encodeBinaryReply(const ModuleConfig& module)
{
    Bytes out(84, 0);
    out[0] = 0xFF; // start byte, length and the probe's command code, as the binary protocol frames them
    out[1] = 84;
    out[2] = 0x02;
    out[3] = module.dhcp ? 1 : 0;
    putIpv4(out, 5, module.faults.namesAddress.value_or(module.ip));
    for (std::size_t i = 0; i < 6; ++i) out[14 - i] = module.mac[i];
    const BinaryVersion version = parseBinaryVersion(module.version).value_or(BinaryVersion{});
    out[16] = version.release;
    out[17] = version.minor;
    out[18] = version.major;
    putText(out, 19, 35, module.name);
    putIpv4(out, 54, module.mask);
    putIpv4(out, 58, module.gateway);
    out[83] = frameChecksum(std::span(out).first(83));
    return out;
}

Bytes encodeDiscoveryReply(const ModuleConfig& module)
{
    Bytes out;
    if (module.kind == ModuleKind::BinaryDactyl) {
        out = encodeBinaryReply(module);
        if (module.faults.badChecksum) out[83] = static_cast<std::uint8_t>(out[83] + 1);
    } else {
        out = encodeTextReply(module);
    }
    if (module.faults.replyLength != 0) out.resize(module.faults.replyLength, 0);
    return out;
}

Bytes encodeSettingsAck(const MacAddress& mac)
{
    Bytes out(12, 0);
    out[0] = 0xFA;
    out[1] = 12;
    out[2] = 0xE0;
    // Same positions as in the request: sixth, fifth, fourth byte, a gap, then third, second, first.
    out[3] = mac[5];
    out[4] = mac[4];
    out[5] = mac[3];
    out[7] = mac[2];
    out[8] = mac[1];
    out[9] = mac[0];
    out[10] = 0; // status: accepted
    out[11] = frameChecksum(std::span(out).first(11));
    return out;
}

} // namespace tarrowind::sim
