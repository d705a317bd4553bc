#include <algorithm>

#include "discovery/address_text.h"
#include "discovery/module_search.h"
#include "discovery/reply_parser.h"

namespace tarrowind {
namespace {

// Requery reports its progress this often while it waits.
constexpr std::uint32_t kReportIntervalMs = 10;
// How far the progress moves during one full requery wait.
constexpr std::uint32_t kProgressPerRequery = 12;

}  // namespace

int ModuleSearch::Requery(DeviceRecord* record)
{
    if (record == nullptr) {
        return 0;
    }
    switch (record->kind) {
    case ModuleKind::Web:
    case ModuleKind::WebDactyl:
        return RequeryUnicast(*record, kTextProbe, kTextProbePort);
    case ModuleKind::BinaryDactyl:
        // No broadcast crosses a router: a routed reader is asked at its address.
        return record->routed ? RequeryUnicast(*record, kBinaryProbe, kBinaryProbePort) : RequeryBroadcast(*record);
    case ModuleKind::LongReply:
        break;
    }
    return 0;
}

int ModuleSearch::RequeryUnicast(DeviceRecord& record, std::span<const std::uint8_t> probe,
                                       std::uint16_t port)
{
    UdpSockets& net = *m_services.sockets;
    const int s = net.Open();
    if (s == UdpSockets::kNoSocket) {
        return 0;
    }
    // The refreshed record is attributed to the adapter on the module's subnet, whichever it was heard on.
    static const AdapterRecord kNoAdapter{kBroadcastAdapterIndex, "", "", ""};
    static const AdapterRecord kRouted{kBroadcastAdapterIndex, kRoutedAdapterName, "", ""};
    const AdapterRecord* chosen = record.routed ? &kRouted : &kNoAdapter;
    const std::uint32_t subnet = InetAddr(record.ipText) & InetAddr(record.maskText);
    for (const AdapterRecord& adapter : m_adapters) {
        if ((InetAddr(adapter.ipText) & InetAddr(adapter.maskText)) == subnet) {
            chosen = &adapter;
            break;
        }
    }
    // On no adapter's subnet, a module first heard through the broadcast adapter is still reached
    // through it (a Default puts it back on its factory address): it keeps that adapter's name.
    if (chosen == &kNoAdapter && record.adapterIndex == kBroadcastAdapterIndex) {
        const auto heard = std::find_if(m_adapters.begin(), m_adapters.end(), [](const AdapterRecord& a) {
            return a.adapterIndex == kBroadcastAdapterIndex;
        });
        if (heard != m_adapters.end()) {
            chosen = &*heard;
        }
    }
    const DeviceRecord arpEntry = record;  // removed as made, even when the reply moves the record
    // A routed module is reached through the system's routes, never by an entry of ours.
    const bool routed = record.routed;
    if (!routed) {
        AddStaticArp(arpEntry);
    }
    int result = 0;
    // Asked at its address, the module answers from there; an answer from anywhere else is not its.
    if (net.SendTo(s, record.ip, port, probe)) {
        result = AwaitRequeryReply(record, {s}, {chosen}, record.ip);
    }
    if (result == 1 && chosen != &kRouted && chosen != &kNoAdapter) {
        record.routed = false;  // it moved onto a local subnet
        Report(record);
    }
    if (!routed) {
        RemoveStaticArp(arpEntry);
    }
    net.Close(s);
    return result;
}

int ModuleSearch::RequeryBroadcast(DeviceRecord& record)
{
    if (m_adapters.empty()) {
        return 0;
    }
    UdpSockets& net = *m_services.sockets;
    std::vector<int> sockets;
    std::vector<const AdapterRecord*> adapterOfSocket;
    for (const AdapterRecord& adapter : m_adapters) {
        const int s = net.Open();
        if (s == UdpSockets::kNoSocket) {
            continue;
        }
        net.SetBroadcast(s);
        net.SendTo(s, DirectedBroadcast(adapter), kBinaryProbePort, kBinaryProbe);
        sockets.push_back(s);
        adapterOfSocket.push_back(&adapter);
    }
    // A reader may come back on an address nobody told this program (its DHCP client), so any address
    // counts that the reply came from and names.
    const int result = AwaitRequeryReply(record, sockets, adapterOfSocket, 0);
    for (const int s : sockets) {
        net.Close(s);
    }
    return result;
}

int ModuleSearch::AwaitRequeryReply(DeviceRecord& record, const std::vector<int>& sockets,
                                          const std::vector<const AdapterRecord*>& adapterOfSocket,
                                          std::uint32_t expectedFrom)
{
    UdpSockets& net = *m_services.sockets;
    Clock& clock = *m_services.clock;
    const std::uint32_t timeout = m_timing.requeryMs;
    // Every datagram is read into a fresh copy of the record as it was, so that a reply of another
    // module never leaks its fields (status, useHttps) into the record refreshed afterwards.
    const DeviceRecord before = record;
    const std::int32_t p0 = record.progress;
    // Only a Stop from now on ends this wait; the wake event may still be signalled by an earlier one, so
    // it is not waited on: the 10 ms passes notice a Stop soon enough.
    const std::uint32_t stopsBefore = m_stopCount.load();
    std::array<std::uint8_t, kReceiveBufferSize> buffer{};
    const std::uint32_t start = clock.TickMs();
    // A pass runs only while the requery time has not passed, so the last one starts before it ends.
    for (bool first = true;; first = false) {
        const std::uint32_t elapsed = clock.TickMs() - start;
        if (!first && elapsed >= timeout) {
            break;
        }
        record.progress = p0 + static_cast<std::int32_t>(static_cast<std::uint64_t>(elapsed) * kProgressPerRequery /
                                                         std::max<std::uint32_t>(timeout, 1));
        Report(record);
        const int wait = static_cast<int>(std::min(kReportIntervalMs, timeout - std::min(elapsed, timeout)));
        const int ready = net.WaitReadable(sockets, wait, -1);
        if (ready >= 0) {
            std::uint32_t sender = 0;
            const int length = net.Receive(sockets[static_cast<std::size_t>(ready)], buffer, &sender);
            const AdapterRecord& adapter = *adapterOfSocket[static_cast<std::size_t>(ready)];
            DeviceRecord reply = before;
            if (ParseReply(reply, buffer.data(), length, adapter.adapterIndex, adapter.description) == 1 &&
                reply.macText == record.macText && NamesItsSender(reply, sender) &&
                (expectedFrom == 0 || sender == expectedFrom)) {
                NoteReplySender(reply, sender);
                record = reply;
                Report(record);
                return 1;
            }
        }
        if (m_stopCount.load() != stopsBefore || m_closed) {
            break;
        }
    }
    return 0;
}

}  // namespace tarrowind
