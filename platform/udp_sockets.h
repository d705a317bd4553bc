#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarrowind {

// IPv4 UDP datagram sockets as the discovery code uses them. Addresses are 32-bit values in network
// byte order; ports are in host order. Replaceable so that the search logic can be tested offline.
class UdpSockets {
public:
    static constexpr int kNoSocket = -1;

    virtual ~UdpSockets() = default;

    // A new unbound socket, or kNoSocket.
    virtual int Open() = 0;
    virtual void Close(int socket) = 0;
    virtual bool SetBroadcast(int socket) = 0;
    // Best effort: asks the system for a receive buffer of at least `bytes`.
    virtual void SetReceiveBuffer(int socket, int bytes) = 0;
    virtual bool SendTo(int socket, std::uint32_t address, std::uint16_t port, std::span<const std::uint8_t> data) = 0;

    enum class SendOutcome { Sent, WouldBlock, Failed };
    // Like SendTo, but never waits for room in the socket's send buffer: WouldBlock when there is none
    // now (datagrams waiting for address resolution hold it), so the caller can read replies meanwhile.
    virtual SendOutcome TrySendTo(int socket, std::uint32_t address, std::uint16_t port,
                                  std::span<const std::uint8_t> data)
    {
        return SendTo(socket, address, port, data) ? SendOutcome::Sent : SendOutcome::Failed;
    }
    // Sends a limited broadcast (255.255.255.255) out of one adapter, given by its index and address,
    // rather than by the default route's: a PC on several networks reaches a module on any of them. The
    // socket stays able to receive on every adapter. The default sends it as SendTo does.
    virtual bool SendBroadcastVia(int socket, std::uint32_t adapterIndex, std::uint32_t adapterAddress,
                                  std::uint16_t port, std::span<const std::uint8_t> data)
    {
        (void)adapterIndex, (void)adapterAddress;
        return SendTo(socket, 0xFFFFFFFFu, port, data);
    }
    // Best effort: asks the system for a send buffer of at least `bytes`.
    virtual void SetSendBuffer(int socket, int bytes) { (void)socket, (void)bytes; }
    // Blocks until one of `sockets` is readable, `wake` (if not kNoSocket) is signalled, or `timeoutMs`
    // passed. Returns the position in `sockets` of the first readable one, or -1.
    virtual int WaitReadable(std::span<const int> sockets, int timeoutMs, int wake) = 0;
    // Receives one datagram; returns its length, or -1 when the receive failed or the datagram did not
    // fit into `buffer` (a truncated datagram is never handed on as if it were whole). `from`, when
    // given, gets the sender's address (network byte order; 0 when unknown): what a datagram says about
    // its sender is believed only as far as this confirms it.
    virtual int Receive(int socket, std::span<std::uint8_t> buffer, std::uint32_t* from = nullptr) = 0;
    // Receives up to lengths.size() waiting datagrams at once, datagram i into the i-th slot of
    // `slotSize` bytes of `buffer`; lengths[i] is its length or -1 as Receive gives it, and senders[i]
    // (when `senders` is that long) its sender's address. Returns how many slots were taken (0 when
    // none waited). One call drains a burst of replies without a wait per datagram; the default takes
    // one datagram through Receive.
    virtual std::size_t ReceiveBatch(int socket, std::span<std::uint8_t> buffer, std::size_t slotSize,
                                     std::span<int> lengths, std::span<std::uint32_t> senders = {})
    {
        if (lengths.empty() || buffer.size() < slotSize) {
            return 0;
        }
        lengths[0] = Receive(socket, buffer.first(slotSize), senders.empty() ? nullptr : &senders[0]);
        return 1;
    }

    static UdpSockets& System();
};

}  // namespace tarrowind
