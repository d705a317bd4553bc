#include "settings_request.h"

#include "reply_encoder.h"

#include <algorithm>

namespace tarrowind::sim {

namespace {

Ipv4Address readIpv4(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return (Ipv4Address{bytes[at]} << 24) | (Ipv4Address{bytes[at + 1]} << 16) |
           (Ipv4Address{bytes[at + 2]} << 8) | Ipv4Address{bytes[at + 3]};
}

} // namespace

std::optional<DactylSettingsRequest> decodeSettingsRequest(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() != 49) return std::nullopt;
    if (bytes[0] != 0xFF || bytes[1] != 0x31 || bytes[2] != 0xE0) return std::nullopt;
    if (frameChecksum(bytes.first(48)) != bytes[48]) return std::nullopt;
    if (bytes[44] != 0x77 || bytes[45] != 0x08 || bytes[46] != 0 || bytes[47] != 0) return std::nullopt;

    DactylSettingsRequest request;
    request.mac = {bytes[9], bytes[8], bytes[7], bytes[5], bytes[4], bytes[3]};
    // At most 16 name bytes; the 17th byte of the field is the terminator.
    const auto field = bytes.subspan(11, 16);
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    request.settings.name.assign(field.begin(), end);
    const std::uint32_t dhcp = std::uint32_t{bytes[28]} | (std::uint32_t{bytes[29]} << 8) |
                               (std::uint32_t{bytes[30]} << 16) | (std::uint32_t{bytes[31]} << 24);
    request.settings.dhcp = dhcp != 0;
    request.settings.ip = readIpv4(bytes, 32);
    request.settings.mask = readIpv4(bytes, 36);
    request.settings.gateway = readIpv4(bytes, 40);
    return request;
}

bool isBinaryProbe(std::span<const std::uint8_t> bytes)
{
    return bytes.size() == 4 && bytes[0] == 0xFF && bytes[1] == 0x04 && bytes[2] == 0x02 && bytes[3] == 0xFB;
}

bool isTextProbe(std::span<const std::uint8_t> bytes)
{
    return bytes.size() == 4 && bytes[0] == 'i' && bytes[1] == 'n' && bytes[2] == 'f' && bytes[3] == 'o';
}

} // namespace tarrowind::sim
