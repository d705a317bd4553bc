#include "platform/udp_sockets.h"

#include <winsock2.h>

#include <vector>

#include "platform/win32/winsock_start.h"

namespace tarrowind {
namespace {

// The Windows SDK's value; mingw-w64's headers lack it.
constexpr DWORD kUdpConnectionReset = _WSAIOW(IOC_VENDOR, 12);

// Socket handles are kernel handles, far below 2^31: they travel through the int of the interface.
SOCKET Handle(int socket)
{
    return static_cast<SOCKET>(static_cast<unsigned>(socket));
}

sockaddr_in Destination(std::uint32_t address, std::uint16_t port)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = ::htons(port);
    to.sin_addr.s_addr = address;
    return to;
}

// Winsock 2 datagram sockets, all non-blocking: waits happen in WSAPoll, which takes any number of
// sockets (WSAWaitForMultipleEvents stops at 64).
class WinsockUdpSockets final : public UdpSockets {
public:
    int Open() override
    {
        if (!StartWinsock()) {
            return kNoSocket;
        }
        const SOCKET s = ::WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
        if (s == INVALID_SOCKET) {
            return kNoSocket;
        }
        u_long nonBlocking = 1;
        ::ioctlsocket(s, FIONBIO, &nonBlocking);
        // An ICMP "port unreachable" for an earlier datagram would otherwise fail the next receive with
        // WSAECONNRESET and hide the replies queued behind it.
        BOOL report = FALSE;
        DWORD returned = 0;
        ::WSAIoctl(s, kUdpConnectionReset, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
        return static_cast<int>(s);
    }

    void Close(int socket) override
    {
        if (socket != kNoSocket) {
            ::closesocket(Handle(socket));
        }
    }

    bool SetBroadcast(int socket) override
    {
        const BOOL on = TRUE;
        return ::setsockopt(Handle(socket), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) == 0;
    }

    void SetReceiveBuffer(int socket, int bytes) override
    {
        ::setsockopt(Handle(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
    }

    void SetSendBuffer(int socket, int bytes) override
    {
        ::setsockopt(Handle(socket), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
    }

    bool SendTo(int socket, std::uint32_t address, std::uint16_t port, std::span<const std::uint8_t> data) override
    {
        // As a blocking send: wait for room in the send buffer, but never for ever.
        for (int attempt = 0; attempt < 100; ++attempt) {
            const SendOutcome outcome = TrySendTo(socket, address, port, data);
            if (outcome != SendOutcome::WouldBlock) {
                return outcome == SendOutcome::Sent;
            }
            WSAPOLLFD fd{Handle(socket), POLLWRNORM, 0};
            ::WSAPoll(&fd, 1, 100);
        }
        return false;
    }

    bool SendBroadcastVia(int socket, std::uint32_t adapterIndex, std::uint32_t adapterAddress, std::uint16_t port,
                          std::span<const std::uint8_t> data) override
    {
        (void)adapterIndex;
        // Windows sends a limited broadcast out of the adapter whose address the socket is bound to; the
        // module's answer comes back to that address.
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = adapterAddress;
        ::bind(Handle(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local);
        return SendTo(socket, INADDR_BROADCAST, port, data);
    }

    SendOutcome TrySendTo(int socket, std::uint32_t address, std::uint16_t port,
                          std::span<const std::uint8_t> data) override
    {
        const sockaddr_in to = Destination(address, port);
        const int sent = ::sendto(Handle(socket), reinterpret_cast<const char*>(data.data()),
                                  static_cast<int>(data.size()), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (sent == static_cast<int>(data.size())) {
            return SendOutcome::Sent;
        }
        return sent == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK ? SendOutcome::WouldBlock
                                                                              : SendOutcome::Failed;
    }

    int WaitReadable(std::span<const int> sockets, int timeoutMs, int wake) override
    {
        std::vector<WSAPOLLFD> fds;
        fds.reserve(sockets.size() + 1);
        for (const int s : sockets) {
            fds.push_back(WSAPOLLFD{Handle(s), POLLRDNORM, 0});
        }
        if (wake != kNoSocket) {
            fds.push_back(WSAPOLLFD{Handle(wake), POLLRDNORM, 0});
        }
        if (fds.empty()) {
            // WSAPoll refuses an empty set; the wait is still a wait.
            ::Sleep(static_cast<DWORD>(timeoutMs < 0 ? 0 : timeoutMs));
            return -1;
        }
        const int n = ::WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs < 0 ? 0 : timeoutMs);
        if (n <= 0) {
            return -1;
        }
        for (std::size_t i = 0; i < sockets.size(); ++i) {
            if (fds[i].revents & (POLLRDNORM | POLLERR)) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    int Receive(int socket, std::span<std::uint8_t> buffer, std::uint32_t* from) override
    {
        sockaddr_in sender{};
        int senderLength = sizeof sender;
        const int n = ::recvfrom(Handle(socket), reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()),
                                 0, reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (from != nullptr) {
            *from = sender.sin_family == AF_INET ? sender.sin_addr.s_addr : 0;
        }
        // A datagram larger than the buffer fails with WSAEMSGSIZE and is dropped, never passed on cut.
        return n == SOCKET_ERROR ? -1 : n;
    }
};

}  // namespace

UdpSockets& UdpSockets::System()
{
    static WinsockUdpSockets sockets;
    return sockets;
}

}  // namespace tarrowind
