#include "packet_link.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarrowind::sim {

namespace {

// A 1,000-module burst of 300-byte frames is ~1.3 MB with overhead; leave room for several.
constexpr int kBufferBytes = 8 * 1024 * 1024;
// A link that stays full this long is broken; keep memory bounded.
constexpr std::size_t kMaxPending = 100000;

std::string errorText(const std::string& what, const std::string& name)
{
    return what + " on " + name + ": " + std::strerror(errno);
}

void setBuffer(int fd, int forced, int plain)
{
    // The forced variants pass the system limits (root); the plain ones are capped by rmem_max/wmem_max.
    if (setsockopt(fd, SOL_SOCKET, forced, &kBufferBytes, sizeof kBufferBytes) != 0)
        (void)setsockopt(fd, SOL_SOCKET, plain, &kBufferBytes, sizeof kBufferBytes);
}

} // namespace

PacketLink::PacketLink(std::string interfaceName) : m_name(std::move(interfaceName))
{
    if (m_name.empty() || m_name.size() >= IFNAMSIZ) throw LinkError("bad interface name \"" + m_name + "\"");
    m_ifindex = static_cast<int>(if_nametoindex(m_name.c_str()));
    if (m_ifindex == 0) throw LinkError("no interface \"" + m_name + "\" in this network namespace");

    m_fd = socket(AF_PACKET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, htons(ETH_P_ALL));
    if (m_fd < 0) throw LinkError(errorText("cannot open a packet socket", m_name));
    try {
        ifreq request{};
        std::memcpy(request.ifr_name, m_name.c_str(), m_name.size() + 1);
        if (ioctl(m_fd, SIOCGIFFLAGS, &request) != 0) throw LinkError(errorText("cannot read the flags", m_name));
        if (request.ifr_flags & IFF_LOOPBACK) throw LinkError("\"" + m_name + "\" is a loopback interface");

        setBuffer(m_fd, SO_RCVBUFFORCE, SO_RCVBUF);
        setBuffer(m_fd, SO_SNDBUFFORCE, SO_SNDBUF);
        const int one = 1;
        // Older kernels lack it; receive() skips outgoing frames as well.
        (void)setsockopt(m_fd, SOL_PACKET, PACKET_IGNORE_OUTGOING, &one, sizeof one);
        // Tells which frames still carry an unfinished (offloaded) checksum.
        if (setsockopt(m_fd, SOL_PACKET, PACKET_AUXDATA, &one, sizeof one) != 0)
            throw LinkError(errorText("cannot ask for packet aux data", m_name));

        sockaddr_ll address{};
        address.sll_family = AF_PACKET;
        address.sll_protocol = htons(ETH_P_ALL);
        address.sll_ifindex = m_ifindex;
        if (bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw LinkError(errorText("cannot bind the packet socket", m_name));

        // Promiscuous for as long as the socket lives, so unicast to module MACs is seen.
        packet_mreq membership{};
        membership.mr_ifindex = m_ifindex;
        membership.mr_type = PACKET_MR_PROMISC;
        if (setsockopt(m_fd, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &membership, sizeof membership) != 0)
            throw LinkError(errorText("cannot switch to promiscuous mode", m_name));
    } catch (...) {
        close(m_fd);
        throw;
    }
}

PacketLink::~PacketLink()
{
    if (m_fd >= 0) close(m_fd);
}

bool PacketLink::receive(std::vector<std::uint8_t>& frame, bool& checksumReady)
{
    frame.resize(65536);
    for (;;) {
        sockaddr_ll from{};
        iovec buffer{frame.data(), frame.size()};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(tpacket_auxdata))];
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &buffer;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t got = recvmsg(m_fd, &message, MSG_TRUNC);
        if (got < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            frame.clear();
            // A link that went down reports it once; a link that is gone (lab torn down) is fatal.
            if (error != EAGAIN && if_nametoindex(m_name.c_str()) != static_cast<unsigned>(m_ifindex)) {
                errno = error;
                throw LinkError(errorText("link is gone", m_name));
            }
            return false;
        }
        if (from.sll_pkttype == PACKET_OUTGOING) continue;
        if (static_cast<std::size_t>(got) > frame.size()) continue; // cut frame: not ours to parse
        frame.resize(static_cast<std::size_t>(got));
        checksumReady = true;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level != SOL_PACKET || c->cmsg_type != PACKET_AUXDATA) continue;
            tpacket_auxdata aux{};
            std::memcpy(&aux, CMSG_DATA(c), sizeof aux);
            if (aux.tp_status & TP_STATUS_CSUMNOTREADY) checksumReady = false;
        }
        return true;
    }
}

PacketLink::Result PacketLink::sendNow(const std::vector<std::uint8_t>& frame)
{
    for (;;) {
        if (::send(m_fd, frame.data(), frame.size(), 0) >= 0) return Result::Sent;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == ENOBUFS) {
            // EAGAIN: the socket buffer is full, POLLOUT tells when it drains. ENOBUFS: the device
            // queue refused it, POLLOUT may already be set, so the caller retries after a pause.
            m_waitForRoom = errno == EAGAIN;
            return Result::Busy;
        }
        std::cerr << "tarrowind-sim: " << errorText("send failed", m_name) << '\n';
        return Result::Failed;
    }
}

void PacketLink::send(std::vector<std::uint8_t> frame)
{
    if (m_pending.empty() && sendNow(frame) != Result::Busy) return;
    if (m_pending.size() >= kMaxPending) {
        ++m_dropped;
        return;
    }
    m_pending.push_back(std::move(frame));
}

void PacketLink::flush()
{
    while (!m_pending.empty()) {
        if (sendNow(m_pending.front()) == Result::Busy) return;
        m_pending.pop_front();
    }
    m_waitForRoom = false;
}

} // namespace tarrowind::sim
