#include "platform/udp_sockets.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace tarrowind {
namespace {

class PosixUdpSockets final : public UdpSockets {
public:
    int Open() override
    {
        const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        return s < 0 ? kNoSocket : s;
    }

    void Close(int socket) override
    {
        if (socket >= 0) {
            ::close(socket);
        }
    }

    bool SetBroadcast(int socket) override
    {
        const int on = 1;
        return ::setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
    }

    void SetReceiveBuffer(int socket, int bytes) override
    {
        // SO_RCVBUFFORCE passes rmem_max when privileged; otherwise the kernel caps SO_RCVBUF.
        if (::setsockopt(socket, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0) {
            ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
        }
    }

    bool SendTo(int socket, std::uint32_t address, std::uint16_t port, std::span<const std::uint8_t> data) override
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = address;
        const auto sent = ::sendto(socket, data.data(), data.size(), MSG_NOSIGNAL,
                                   reinterpret_cast<const sockaddr*>(&to), sizeof to);
        return sent == static_cast<ssize_t>(data.size());
    }

    bool SendBroadcastVia(int socket, std::uint32_t adapterIndex, std::uint32_t adapterAddress, std::uint16_t port,
                          std::span<const std::uint8_t> data) override
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = INADDR_BROADCAST;
        iovec part{const_cast<std::uint8_t*>(data.data()), data.size()};
        // The interface and source address go with the datagram, so the socket itself stays unbound.
        alignas(cmsghdr) std::array<unsigned char, CMSG_SPACE(sizeof(in_pktinfo))> control{};
        msghdr message{};
        message.msg_name = &to;
        message.msg_namelen = sizeof to;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(adapterIndex);
        info.ipi_spec_dst.s_addr = adapterAddress;
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
        return ::sendmsg(socket, &message, MSG_NOSIGNAL) == static_cast<ssize_t>(data.size());
    }

    SendOutcome TrySendTo(int socket, std::uint32_t address, std::uint16_t port,
                          std::span<const std::uint8_t> data) override
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = address;
        const auto sent = ::sendto(socket, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT,
                                   reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (sent == static_cast<ssize_t>(data.size())) {
            return SendOutcome::Sent;
        }
        return sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? SendOutcome::WouldBlock : SendOutcome::Failed;
    }

    void SetSendBuffer(int socket, int bytes) override
    {
        if (::setsockopt(socket, SOL_SOCKET, SO_SNDBUFFORCE, &bytes, sizeof bytes) != 0) {
            ::setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
        }
    }

    int WaitReadable(std::span<const int> sockets, int timeoutMs, int wake) override
    {
        std::vector<pollfd> fds;
        fds.reserve(sockets.size() + 1);
        for (const int s : sockets) {
            fds.push_back(pollfd{s, POLLIN, 0});
        }
        if (wake != kNoSocket) {
            fds.push_back(pollfd{wake, POLLIN, 0});
        }
        int n;
        do {
            n = ::poll(fds.data(), fds.size(), timeoutMs < 0 ? 0 : timeoutMs);
        } while (n < 0 && errno == EINTR);
        if (n <= 0) {
            return -1;
        }
        for (std::size_t i = 0; i < sockets.size(); ++i) {
            if (fds[i].revents & (POLLIN | POLLERR)) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    int Receive(int socket, std::span<std::uint8_t> buffer, std::uint32_t* from) override
    {
        sockaddr_in sender{};
        socklen_t senderLength = sizeof sender;
        const auto n = ::recvfrom(socket, buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT,
                                  reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (from != nullptr) {
            *from = sender.sin_family == AF_INET ? sender.sin_addr.s_addr : 0;
        }
        if (n < 0 || static_cast<std::size_t>(n) > buffer.size()) {
            return -1;
        }
        return static_cast<int>(n);
    }

    std::size_t ReceiveBatch(int socket, std::span<std::uint8_t> buffer, std::size_t slotSize,
                             std::span<int> lengths, std::span<std::uint32_t> senders) override
    {
        constexpr std::size_t kMaxBatch = 64;
        const std::size_t slots = std::min({lengths.size(), kMaxBatch, slotSize == 0 ? 0 : buffer.size() / slotSize});
        std::array<iovec, kMaxBatch> parts{};
        std::array<mmsghdr, kMaxBatch> messages{};
        std::array<sockaddr_in, kMaxBatch> from{};
        for (std::size_t i = 0; i < slots; ++i) {
            parts[i] = iovec{buffer.data() + i * slotSize, slotSize};
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_name = &from[i];
            messages[i].msg_hdr.msg_namelen = sizeof from[i];
        }
        int n;
        do {
            n = ::recvmmsg(socket, messages.data(), static_cast<unsigned>(slots), MSG_DONTWAIT, nullptr);
        } while (n < 0 && errno == EINTR);
        if (n <= 0) {
            return 0;
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
            // A datagram cut to its slot is never handed on as if it were whole.
            lengths[i] = (messages[i].msg_hdr.msg_flags & MSG_TRUNC) != 0 ? -1 : static_cast<int>(messages[i].msg_len);
            if (i < senders.size()) {
                senders[i] = from[i].sin_family == AF_INET ? from[i].sin_addr.s_addr : 0;
            }
        }
        return static_cast<std::size_t>(n);
    }
};

}  // namespace

UdpSockets& UdpSockets::System()
{
    static PosixUdpSockets sockets;
    return sockets;
}

}  // namespace tarrowind
