#include "tests/unit/fakes/fake_network.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tarrowind::testing {

int FakeUdpSockets::Open()
{
    if (failOpensAfter >= 0 && opened >= failOpensAfter) {
        return kNoSocket;
    }
    ++opened;
    openSockets.push_back(m_next);
    return m_next++;
}

void FakeUdpSockets::Close(int socket)
{
    openSockets.erase(std::remove(openSockets.begin(), openSockets.end(), socket), openSockets.end());
    m_inbox.erase(socket);
}

bool FakeUdpSockets::SetBroadcast(int socket)
{
    broadcast[socket] = true;
    return true;
}

void FakeUdpSockets::SetReceiveBuffer(int socket, int bytes)
{
    receiveBuffers[socket] = bytes;
}

bool FakeUdpSockets::SendTo(int socket, std::uint32_t address, std::uint16_t port, std::span<const std::uint8_t> data)
{
    Sent s{socket, address, port, {data.begin(), data.end()}};
    sent.push_back(s);
    if (responder) {
        for (Answer& a : responder(s)) {
            // An answer to a datagram sent to one host comes from that host, unless told otherwise.
            std::optional<std::uint32_t> from = a.from;
            if (!from && NamedAddress(a.data) == 0 && address != 0xFFFFFFFFu && !broadcast[socket]) {
                from = address;
            }
            Deliver(socket, a.delayMs, std::move(a.data), from);
        }
    }
    return true;
}

UdpSockets::SendOutcome FakeUdpSockets::TrySendTo(int socket, std::uint32_t address, std::uint16_t port,
                                                  std::span<const std::uint8_t> data)
{
    if (m_clock.now >= blockSendsFrom && m_clock.now < blockSendsUntil) {
        ++wouldBlocks;
        return SendOutcome::WouldBlock;
    }
    return SendTo(socket, address, port, data) ? SendOutcome::Sent : SendOutcome::Failed;
}

std::uint32_t FakeUdpSockets::NamedAddress(const std::vector<std::uint8_t>& data)
{
    std::array<std::uint8_t, 4> bytes{};
    if (data.size() == 84) {
        std::copy(data.begin() + 5, data.begin() + 9, bytes.begin());
    } else if (data.size() == 172 || data.size() == 252 || data.size() == 256 || data.size() == 282) {
        const std::size_t at = data.size() == 172 ? 20 : 100;
        std::size_t part = 0;
        unsigned value = 0;
        for (std::size_t i = at; i < at + 20 && data[i] != 0 && part < 4; ++i) {
            if (data[i] == '.') {
                bytes[part++] = static_cast<std::uint8_t>(value);
                value = 0;
            } else {
                value = value * 10 + static_cast<unsigned>(data[i] - '0');
            }
        }
        if (part < 4) {
            bytes[part] = static_cast<std::uint8_t>(value);
        }
    }
    std::uint32_t address = 0;
    std::memcpy(&address, bytes.data(), sizeof address);
    return address;
}

void FakeUdpSockets::Deliver(int socket, std::uint32_t delayMs, std::vector<std::uint8_t> data,
                             std::optional<std::uint32_t> from)
{
    const std::uint32_t sender = from.value_or(NamedAddress(data));
    auto& inbox = m_inbox[socket];
    const std::uint32_t at = m_clock.now + delayMs;
    // Keep arrival order; equal times stay in the order they were delivered.
    const auto it = std::upper_bound(inbox.begin(), inbox.end(), at,
                                     [](std::uint32_t t, const Pending& p) { return t < p.at; });
    inbox.insert(it, Pending{at, std::move(data), sender});
}

int FakeUdpSockets::WaitReadable(std::span<const int> sockets, int timeoutMs, int /*wake*/)
{
    ++waits;
    const std::uint32_t deadline = m_clock.now + static_cast<std::uint32_t>(std::max(timeoutMs, 0));
    std::optional<std::uint32_t> earliest;
    for (const int s : sockets) {
        const auto it = m_inbox.find(s);
        if (it != m_inbox.end() && !it->second.empty()) {
            earliest = std::min(earliest.value_or(it->second.front().at), it->second.front().at);
        }
    }
    if (!earliest || *earliest > deadline) {
        m_clock.now = deadline;
        return -1;
    }
    m_clock.now = std::max(m_clock.now, *earliest);
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        const auto it = m_inbox.find(sockets[i]);
        if (it != m_inbox.end() && !it->second.empty() && it->second.front().at <= m_clock.now) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int FakeUdpSockets::Receive(int socket, std::span<std::uint8_t> buffer, std::uint32_t* from)
{
    auto& inbox = m_inbox[socket];
    if (inbox.empty() || inbox.front().at > m_clock.now) {
        return -1;
    }
    const std::vector<std::uint8_t> data = std::move(inbox.front().data);
    if (from != nullptr) {
        *from = inbox.front().from;
    }
    inbox.erase(inbox.begin());
    if (data.size() > buffer.size()) {
        return -1;
    }
    std::copy(data.begin(), data.end(), buffer.begin());
    return static_cast<int>(data.size());
}

NeighbourKind FakeNeighbourTable::Lookup(std::uint32_t interfaceIndex, std::uint32_t address)
{
    ++calls;
    const auto it = entries.find({interfaceIndex, address});
    return it == entries.end() ? NeighbourKind::None : it->second.kind;
}

NeighbourEntry FakeNeighbourTable::Find(std::uint32_t interfaceIndex, std::uint32_t address)
{
    ++calls;
    const auto it = entries.find({interfaceIndex, address});
    return it == entries.end() ? NeighbourEntry{} : NeighbourEntry{it->second.kind, it->second.mac};
}

bool FakeNeighbourTable::AddPermanent(std::uint32_t interfaceIndex, std::uint32_t address,
                                      const std::array<std::uint8_t, 6>& hardwareAddress)
{
    ++calls;
    // The system refuses an interface that does not exist, such as the Broadcast adapter's index.
    if (refuseChanges || interfaceIndex == 0xFFFFFFFFu) {
        return false;
    }
    entries[{interfaceIndex, address}] = Entry{hardwareAddress, NeighbourKind::Permanent};
    return true;
}

NeighbourChange FakeNeighbourTable::MakePermanent(std::uint32_t interfaceIndex, std::uint32_t address,
                                                  const std::array<std::uint8_t, 6>& hardwareAddress)
{
    if (normalUser) {
        ++calls;
        return NeighbourChange::Refused;
    }
    return AddPermanent(interfaceIndex, address, hardwareAddress) ? NeighbourChange::Made : NeighbourChange::Failed;
}

bool FakeNeighbourTable::Remove(std::uint32_t interfaceIndex, std::uint32_t address)
{
    ++calls;
    if (refuseChanges) {
        return false;
    }
    return entries.erase({interfaceIndex, address}) != 0;
}

}  // namespace tarrowind::testing
