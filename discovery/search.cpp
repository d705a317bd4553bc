#include <algorithm>

#include "discovery/address_text.h"
#include "discovery/module_search.h"
#include "discovery/reply_parser.h"
#include "platform/ipv4_address.h"

namespace tarrowind {
namespace {

// At most this many range probes leave in one pass, so that replies are read while catching up.
constexpr std::uint64_t kMaxProbesPerPass = 64;
// A range probe refused for a full send buffer is tried again this much later.
constexpr std::uint64_t kFullBufferRetryMs = 5;
// Datagrams taken from a socket in one pass.
constexpr std::size_t kReceiveBatch = 64;
// A search that heard this many modules sends its broadcast probes once more, at kRepeatSharePercent % of
// the search time: in a burst that large some replies may have been dropped by a full receive buffer,
// and the second replies only add modules not found yet. Smaller sites never see the repeat.
constexpr std::size_t kRepeatAfterModules = 1000;
constexpr std::uint32_t kRepeatSharePercent = 60;

// The countdown as shown: 5 during the first second of a 5 s search, down to 1 in the last.
int SecondsLeft(std::uint32_t elapsed, std::uint32_t timeout)
{
    return static_cast<int>((timeout - elapsed) / 1000 + 1);
}

// Milliseconds from `elapsed` until the countdown shows another value or the search time ends.
int UntilNextChange(std::uint32_t elapsed, std::uint32_t timeout)
{
    const std::uint32_t left = timeout - elapsed;
    const std::uint32_t next = timeout - (left / 1000) * 1000 + 1;
    return static_cast<int>(std::min(next, timeout) - elapsed);
}

// Walks the addresses of the ranges, each one twice: text probe first, then binary probe.
class ProbeCursor {
public:
    explicit ProbeCursor(const AddressRanges& ranges) : m_ranges(ranges.ranges) {}
    bool Done() const { return m_range >= m_ranges.size(); }
    std::uint32_t Address() const { return m_ranges[m_range].first + m_offset; }
    bool Binary() const { return m_binary; }
    void Next()
    {
        if (!m_binary) {
            m_binary = true;
            return;
        }
        m_binary = false;
        if (m_ranges[m_range].first + m_offset == m_ranges[m_range].last) {
            ++m_range;
            m_offset = 0;
        } else {
            ++m_offset;
        }
    }

private:
    const std::vector<AddressRange>& m_ranges;
    std::size_t m_range = 0;
    std::uint32_t m_offset = 0;
    bool m_binary = false;
};

}  // namespace

std::uint32_t ModuleSearch::ProbingMs() const
{
    // The last probe is due at (count - 1) / rate seconds; rounded up to whole milliseconds.
    const std::uint64_t probes = 2 * m_ranges.Count();
    return probes == 0 ? 0 : static_cast<std::uint32_t>(((probes - 1) * 1000 + m_probeRate - 1) / m_probeRate);
}

std::uint32_t ModuleSearch::SearchDurationMs() const
{
    if (m_ranges.Empty()) {
        return m_timing.searchMs;
    }
    return std::max(m_timing.searchMs, ProbingMs() + m_timing.rangeTailMs);
}

const AdapterRecord* ModuleSearch::AdapterForAddress(std::uint32_t address) const
{
    for (const AdapterRecord& adapter : m_adapters) {
        if (adapter.adapterIndex == kBroadcastAdapterIndex) {
            continue;
        }
        const std::uint32_t mask = InetAddr(adapter.maskText);
        if ((InetAddr(adapter.ipText) & mask) == (address & mask)) {
            return &adapter;
        }
    }
    return nullptr;
}

void ModuleSearch::AttributeRangeReply(DeviceRecord& record) const
{
    if (const AdapterRecord* adapter = AdapterForAddress(record.ip)) {
        record.adapterIndex = adapter->adapterIndex;
        record.adapterName = adapter->description;
        record.routed = false;
    } else {
        record.adapterIndex = kBroadcastAdapterIndex;
        record.adapterName = kRoutedAdapterName;
        record.routed = true;
    }
}

void ModuleSearch::TakeReply(std::span<const std::uint8_t> datagram, int length, std::size_t adapterSlot,
                                   std::uint32_t sender)
{
    DeviceRecord record;
    const bool fromRange = adapterSlot == m_adapters.size();
    const AdapterRecord& adapter = m_adapters[fromRange ? adapterSlot - 1 : adapterSlot];
    if (ParseReply(record, datagram.data(), length, adapter.adapterIndex, adapter.description) != 1) {
        return;
    }
    NoteReplySender(record, sender);
    const auto known = m_found.find(record.macText);
    // The first reply per MAC is listed; a later one replaces it only when it confirms an address the
    // first could not, so a host racing the real module with its MAC cannot keep it out.
    const bool confirms = known != m_found.end() && !known->second.addressConfirmed && record.addressConfirmed;
    if (known != m_found.end() && !confirms) {
        return;
    }
    if (fromRange) {
        AttributeRangeReply(record);
    }
    if (confirms) {
        known->second = record;
        if (CoreEvents* window = m_deviceWindow.load()) {
            window->OnModuleConfirmed(known->second);
        }
        return;
    }
    const DeviceRecord& stored = m_found.emplace(record.macText, record).first->second;
    if (CoreEvents* window = m_deviceWindow.load()) {
        window->OnModuleFound(stored);
    }
}

int ModuleSearch::Search()
{
    m_found.clear();
    m_rangeProbesSent = 0;
    m_rangeProbingTookMs = 0;
    const std::size_t n = m_adapters.size();
    if (n == 0) {
        return 0;
    }
    UdpSockets& net = *m_services.sockets;
    Clock& clock = *m_services.clock;

    // Waited on in adapter order, text socket before binary socket, so that of two waiting replies the
    // one heard on the earlier adapter wins.
    std::vector<int> readSet;
    std::vector<std::size_t> adapterOfSocket;
    struct Probe {
        int socket;
        std::uint32_t target;
        std::uint16_t port;
        std::span<const std::uint8_t> bytes;
    };
    std::vector<Probe> broadcastProbes;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t target = DirectedBroadcast(m_adapters[i]);
        for (const auto& [probe, port] : {std::pair{std::span<const std::uint8_t>(kTextProbe), kTextProbePort},
                                          std::pair{std::span<const std::uint8_t>(kBinaryProbe), kBinaryProbePort}}) {
            const int s = net.Open();
            if (s == UdpSockets::kNoSocket) {
                continue;
            }
            net.SetBroadcast(s);
            net.SetReceiveBuffer(s, kSearchSocketBuffer);
            net.SendTo(s, target, port, probe);
            broadcastProbes.push_back(Probe{s, target, port, probe});
            readSet.push_back(s);
            adapterOfSocket.push_back(i);
        }
    }

    // One socket sends every range probe and hears their replies. It has no broadcast right, so an
    // address of the ranges that is a broadcast address is refused by the system instead of reaching a
    // whole subnet. Its large send buffer holds the probes that wait for address resolution on a local
    // subnet (seconds, for addresses nobody has).
    const std::uint64_t rangeProbes = 2 * m_ranges.Count();
    int rangeSocket = UdpSockets::kNoSocket;
    if (rangeProbes != 0) {
        rangeSocket = net.Open();
        if (rangeSocket != UdpSockets::kNoSocket) {
            net.SetReceiveBuffer(rangeSocket, kSearchSocketBuffer);
            net.SetSendBuffer(rangeSocket, kSearchSocketBuffer);
            readSet.push_back(rangeSocket);
            adapterOfSocket.push_back(n);
        }
    }
    ProbeCursor cursor(m_ranges);
    std::uint64_t probesDone = rangeSocket == UdpSockets::kNoSocket ? rangeProbes : 0;
    const std::uint64_t rate = m_probeRate;
    // Probe k (from originCount on) is due (k - originCount) / rate seconds after originMs. When the
    // send buffer is full the schedule starts again later instead of bursting to catch up.
    std::uint64_t originMs = 0;
    std::uint64_t originCount = 0;
    const auto dueAt = [&](std::uint64_t k) { return originMs + ((k - originCount) * 1000 + rate - 1) / rate; };
    std::uint64_t lastProbeMs = rangeProbes == 0 ? 0 : dueAt(rangeProbes - 1);
    // The search lasts until the tail after the last probe, and never less than a normal search.
    const auto searchEnd = [&] {
        if (rangeProbes == 0) {
            return m_timing.searchMs;
        }
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(
            std::max<std::uint64_t>(m_timing.searchMs, lastProbeMs + m_timing.rangeTailMs), 0xFFFFFFF0u));
    };

    std::vector<std::uint8_t> batch(kReceiveBatch * kReceiveBufferSize);
    std::array<int, kReceiveBatch> lengths{};
    std::array<std::uint32_t, kReceiveBatch> senders{};
    std::uint32_t timeout = searchEnd();
    const std::uint32_t start = clock.TickMs();
    std::uint32_t elapsed = 0;
    int shown = -1;
    bool repeated = false;
    do {
        elapsed = clock.TickMs() - start;
        if (!repeated && m_found.size() >= kRepeatAfterModules &&
            elapsed >= m_timing.searchMs / 100 * kRepeatSharePercent) {
            repeated = true;
            for (const Probe& p : broadcastProbes) {
                net.SendTo(p.socket, p.target, p.port, p.bytes);
            }
        }
        if (probesDone < rangeProbes && elapsed >= dueAt(probesDone)) {
            const std::uint64_t due =
                std::min(rangeProbes, originCount + (elapsed - originMs) * rate / 1000 + 1);
            for (std::uint64_t sent = 0; probesDone < due && sent < kMaxProbesPerPass; ++sent) {
                const bool binary = cursor.Binary();
                const auto outcome = net.TrySendTo(rangeSocket, HostToNetworkOrder(cursor.Address()),
                                                   binary ? kBinaryProbePort : kTextProbePort,
                                                   binary ? std::span<const std::uint8_t>(kBinaryProbe)
                                                          : std::span<const std::uint8_t>(kTextProbe));
                if (outcome == UdpSockets::SendOutcome::WouldBlock) {
                    originMs = static_cast<std::uint64_t>(clock.TickMs() - start) + kFullBufferRetryMs;
                    originCount = probesDone;
                    break;
                }
                if (outcome == UdpSockets::SendOutcome::Sent) {
                    ++m_rangeProbesSent;
                }
                cursor.Next();
                ++probesDone;
            }
            elapsed = clock.TickMs() - start;
            lastProbeMs = probesDone < rangeProbes ? dueAt(rangeProbes - 1) : elapsed;
            m_rangeProbingTookMs = elapsed;
            timeout = searchEnd();
        }
        int wait = elapsed < timeout ? UntilNextChange(elapsed, timeout) : 0;
        if (probesDone < rangeProbes) {
            const std::uint64_t next = dueAt(probesDone);
            wait = std::min<int>(wait, static_cast<int>(next > elapsed ? next - elapsed : 0));
        }
        const int ready = net.WaitReadable(readSet, wait, m_wake.Fd());
        if (ready >= 0) {
            // Up to a batch of the socket's waiting datagrams per pass: a burst of thousands of replies is
            // taken faster than it arrives instead of overflowing the receive buffer.
            const std::size_t slot = static_cast<std::size_t>(ready);
            const std::size_t taken = net.ReceiveBatch(readSet[slot], batch, kReceiveBufferSize, lengths, senders);
            for (std::size_t i = 0; i < taken; ++i) {
                TakeReply(std::span(batch).subspan(i * kReceiveBufferSize, kReceiveBufferSize), lengths[i],
                          adapterOfSocket[slot], senders[i]);
            }
        }
        elapsed = clock.TickMs() - start;
        if (elapsed < timeout) {
            const int seconds = SecondsLeft(elapsed, timeout);
            if (seconds != shown) {
                shown = seconds;
                SendSearchState(SearchState::Countdown, seconds);
            }
        }
        if (m_stop) {
            break;
        }
    } while (elapsed < timeout || probesDone < rangeProbes);

    for (const int s : readSet) {
        net.Close(s);
    }
    return 1;
}

}  // namespace tarrowind
