#include "discovery/dactyl_settings.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "discovery/address_text.h"
#include "discovery/module_search.h"
#include "discovery/reply_parser.h"
#include "platform/code_page.h"

namespace tarrowind {
namespace {

// Positions of the first to sixth byte of the hardware address in the request and its acknowledgement.
constexpr std::array<std::size_t, 6> kMacPositions{9, 8, 7, 5, 4, 3};
constexpr std::size_t kMaxNameBytes = 16;

void PutLittleEndian(DactylSettingsBytes& b, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void PutBigEndian(DactylSettingsBytes& b, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        b[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

}  // namespace

DactylSettingsBytes MakeDactylSettingsRequest(const std::string& macText, const std::string& name, bool dhcp,
                                              std::uint32_t ip, std::uint32_t mask, std::uint32_t gateway)
{
    DactylSettingsBytes b{};
    b[0] = 0xFF;
    b[1] = static_cast<std::uint8_t>(kDactylRequestLength);
    b[2] = 0xE0;
    const auto mac = ParseMacText(macText);
    for (std::size_t i = 0; i < mac.size(); ++i) {
        b[kMacPositions[i]] = mac[i];
    }
    const std::string ansiName = Utf8ToAnsi(name);
    // Byte 27 stays 0, so the name is always terminated.
    std::copy_n(ansiName.begin(), std::min(ansiName.size(), kMaxNameBytes), b.begin() + 11);
    PutLittleEndian(b, 28, dhcp ? 1 : 0);
    PutBigEndian(b, 32, ip);
    PutBigEndian(b, 36, mask);
    PutBigEndian(b, 40, gateway);
    PutLittleEndian(b, 44, 2167);
    b[48] = ReplyChecksum(b.data(), 48);
    return b;
}

bool DactylRequestedAddress(const DactylSettingsBytes& request, std::uint32_t& ip, std::uint32_t& mask)
{
    if (request[28] != 0) {
        return false;
    }
    // Bytes 32-35 and 36-39 hold the dotted numbers in order, as the record's network-order values do.
    std::memcpy(&ip, &request[32], sizeof ip);
    std::memcpy(&mask, &request[36], sizeof mask);
    return true;
}

std::string AcknowledgedMacText(const std::uint8_t* data, std::int32_t length)
{
    if (data == nullptr || length < static_cast<std::int32_t>(kAcknowledgementMinLength) || data[0] != 0xFA) {
        return {};
    }
    char text[18];
    std::snprintf(text, sizeof text, "%.2X:%.2X:%.2X:%.2X:%.2X:%.2X", data[9], data[8], data[7], data[5], data[4],
                  data[3]);
    return text;
}

int ModuleSearch::SendDactylSettings(const DeviceRecord& record, const DactylSettingsBytes& request)
{
    if (!record.addressConfirmed) {
        return 0;
    }
    // An acknowledgement counts only from the reader: from the address it was found at, or from the
    // fixed address the request gives it. The MAC inside proves nothing, anyone can write it.
    std::uint32_t newIp = 0, newMask = 0;
    const bool toFixedAddress = DactylRequestedAddress(request, newIp, newMask);
    const auto fromReader = [&](std::uint32_t sender) {
        return sender != 0 && (sender == record.ip || (toFixedAddress && sender == newIp));
    };
    UdpSockets& net = *m_services.sockets;
    Clock& clock = *m_services.clock;
    const int s = net.Open();
    if (s == UdpSockets::kNoSocket) {
        return 0;
    }
    // A routed reader cannot hear a broadcast; it is sent the request at its address. Any other is sent
    // the broadcast through the adapter it was heard on: left to the default route, a broadcast never
    // reaches a reader on the PC's other networks.
    bool sent = false;
    if (record.routed) {
        sent = net.SendTo(s, record.ip, kBinaryProbePort, request);
    } else {
        net.SetBroadcast(s);
        const auto heardOn = std::find_if(m_adapters.begin(), m_adapters.end(), [&](const AdapterRecord& a) {
            return a.adapterIndex == record.adapterIndex && a.adapterIndex != kBroadcastAdapterIndex;
        });
        sent = heardOn != m_adapters.end()
                   ? net.SendBroadcastVia(s, heardOn->adapterIndex, InetAddr(heardOn->ipText), kBinaryProbePort,
                                          request)
                   : net.SendTo(s, 0xFFFFFFFFu, kBinaryProbePort, request);
    }
    if (!sent) {
        net.Close(s);
        return 0;
    }
    int result = 0;
    std::array<std::uint8_t, kReceiveBufferSize> buffer{};
    const std::uint32_t start = clock.TickMs();
    const int sockets[] = {s};
    for (;;) {
        const std::uint32_t elapsed = clock.TickMs() - start;
        if (elapsed >= m_timing.acknowledgementMs) {
            break;
        }
        // A Stop does not cut this short: the reader may already have taken the new settings.
        if (net.WaitReadable(sockets, static_cast<int>(m_timing.acknowledgementMs - elapsed), UdpSockets::kNoSocket) == 0) {
            std::uint32_t sender = 0;
            const int length = net.Receive(s, buffer, &sender);
            const std::string acknowledged = AcknowledgedMacText(buffer.data(), length);
            if (!acknowledged.empty() && acknowledged == record.macText && fromReader(sender)) {
                result = 1;
                break;
            }
        }
    }
    net.Close(s);
    return result;
}

}  // namespace tarrowind
