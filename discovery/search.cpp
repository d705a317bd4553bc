#include <algorithm>

#include "discovery/controller_manager.h"
#include "discovery/reply_parser.h"

namespace tarrowind {
namespace {

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

}  // namespace

int CControllerManager::Search()
{
    m_found.clear();
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
            readSet.push_back(s);
            adapterOfSocket.push_back(i);
        }
    }

    std::array<std::uint8_t, kReceiveBufferSize> buffer{};
    const std::uint32_t timeout = m_timing.searchMs;
    const std::uint32_t start = clock.TickMs();
    std::uint32_t elapsed = 0;
    int shown = -1;
    do {
        elapsed = clock.TickMs() - start;
        const int wait = elapsed < timeout ? UntilNextChange(elapsed, timeout) : 0;
        const int ready = net.WaitReadable(readSet, wait, m_wake.Fd());
        if (ready >= 0) {
            const AdapterRecord& adapter = m_adapters[adapterOfSocket[static_cast<std::size_t>(ready)]];
            const int length = net.Receive(readSet[static_cast<std::size_t>(ready)], buffer);
            DeviceRecord record;
            if (ParseReply(record, buffer.data(), length, adapter.adapterIndex, adapter.description) == 1 &&
                m_found.count(record.macText) == 0) {
                const DeviceRecord& stored = m_found.emplace(record.macText, record).first->second;
                if (CoreEvents* window = m_deviceWindow.load()) {
                    window->OnModuleFound(stored);
                }
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
    } while (elapsed < timeout);

    for (const int s : readSet) {
        net.Close(s);
    }
    return 1;
}

}  // namespace tarrowind
