#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "platform/adapter_table.h"
#include "platform/clock.h"
#include "platform/neighbour_table.h"
#include "platform/udp_sockets.h"

namespace tarrowind::testing {

// Time that only moves when the code under test waits or sleeps.
class FakeClock final : public Clock {
public:
    std::uint32_t TickMs() override { return now; }
    void SleepMs(std::uint32_t ms) override { now += ms; }
    std::uint32_t now = 1000;
};

// A datagram network in memory. A responder sees every datagram sent and returns the answers that
// arrive on the sending socket, each after its delay.
class FakeUdpSockets final : public UdpSockets {
public:
    struct Sent {
        int socket;
        std::uint32_t address;
        std::uint16_t port;
        std::vector<std::uint8_t> data;
    };
    struct Answer {
        std::uint32_t delayMs;
        std::vector<std::uint8_t> data;
        // The sender's address; none: a discovery reply comes from the address it names, anything else
        // from the address it answers when that was one host's, else from an unknown address (0).
        std::optional<std::uint32_t> from = std::nullopt;
    };
    using Responder = std::function<std::vector<Answer>(const Sent&)>;

    explicit FakeUdpSockets(FakeClock& clock) : m_clock(clock) {}

    int Open() override;
    void Close(int socket) override;
    bool SetBroadcast(int socket) override;
    void SetReceiveBuffer(int socket, int bytes) override;
    bool SendTo(int socket, std::uint32_t address, std::uint16_t port, std::span<const std::uint8_t> data) override;
    // Refuses with WouldBlock (sending nothing) while the clock is inside [blockSendsFrom, blockSendsUntil).
    SendOutcome TrySendTo(int socket, std::uint32_t address, std::uint16_t port,
                          std::span<const std::uint8_t> data) override;
    int WaitReadable(std::span<const int> sockets, int timeoutMs, int wake) override;
    int Receive(int socket, std::span<std::uint8_t> buffer, std::uint32_t* from = nullptr) override;

    // Delivers a datagram to a socket that is open now, after `delayMs`, from `from` (as Answer::from).
    void Deliver(int socket, std::uint32_t delayMs, std::vector<std::uint8_t> data,
                 std::optional<std::uint32_t> from = std::nullopt);
    // The address a discovery reply names (network order), read by its layout; 0 for other datagrams.
    static std::uint32_t NamedAddress(const std::vector<std::uint8_t>& data);

    Responder responder;
    std::vector<Sent> sent;
    int failOpensAfter = -1;  // Open fails once this many sockets were opened (-1: never)
    std::uint32_t blockSendsFrom = 0, blockSendsUntil = 0;
    int wouldBlocks = 0;
    int opened = 0;
    int waits = 0;
    std::map<int, int> receiveBuffers;
    std::map<int, bool> broadcast;
    std::vector<int> openSockets;

private:
    struct Pending {
        std::uint32_t at;
        std::vector<std::uint8_t> data;
        std::uint32_t from;
    };
    FakeClock& m_clock;
    int m_next = 100;
    std::map<int, std::vector<Pending>> m_inbox;
};

class FakeAdapterTable final : public AdapterTable {
public:
    std::optional<std::vector<SystemAdapter>> Read() override { return table; }
    std::optional<std::vector<SystemAdapter>> table;
};

class FakeNeighbourTable final : public NeighbourTable {
public:
    struct Entry {
        std::array<std::uint8_t, 6> mac;
        NeighbourKind kind;
    };
    NeighbourKind Lookup(std::uint32_t interfaceIndex, std::uint32_t address) override;
    NeighbourEntry Find(std::uint32_t interfaceIndex, std::uint32_t address) override;
    bool AddPermanent(std::uint32_t interfaceIndex, std::uint32_t address,
                      const std::array<std::uint8_t, 6>& hardwareAddress) override;
    NeighbourChange MakePermanent(std::uint32_t interfaceIndex, std::uint32_t address,
                                  const std::array<std::uint8_t, 6>& hardwareAddress) override;
    bool Remove(std::uint32_t interfaceIndex, std::uint32_t address) override;

    std::map<std::pair<std::uint32_t, std::uint32_t>, Entry> entries;
    bool refuseChanges = false;
    bool normalUser = false;  // every new entry is refused for want of the right
    int calls = 0;
};

}  // namespace tarrowind::testing
