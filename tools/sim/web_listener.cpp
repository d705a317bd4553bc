// Built with -fno-access-control: the servers' per-connection step is private in the library, and
// this file only calls the library's own version of it after looking at the socket.
#include "web_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "platform/ipv4_address.h"

namespace tarrowind::sim {

namespace {

// Each connection is served start to end on one pool thread.
thread_local int t_connection = -1;
thread_local std::optional<MacAddress> t_destination;

constexpr std::size_t kEthernetHeader = 14;

std::optional<MacAddress> savedDestination(socket_t sock)
{
    // Ethernet, IPv4 with options and TCP with options fit in this.
    std::array<std::uint8_t, 256> saved{};
    socklen_t length = saved.size();
    if (getsockopt(sock, IPPROTO_TCP, TCP_SAVED_SYN, saved.data(), &length) != 0) return std::nullopt;
    return destinationOfSyn(std::span<const std::uint8_t>(saved.data(), std::min<std::size_t>(length, saved.size())));
}

template <typename Serve>
bool serveIfAnswered(socket_t sock, const AddressFilter& filter, Serve serve)
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    const std::optional<MacAddress> destination = savedDestination(sock);
    if (getsockname(sock, reinterpret_cast<sockaddr*>(&local), &length) != 0 || local.sin_family != AF_INET ||
        !filter(NetworkToHostOrder(local.sin_addr.s_addr), destination)) {
        shutdown(sock, SHUT_RDWR);
        close(sock);
        return false;
    }
    t_connection = sock;
    t_destination = destination;
    const bool result = serve(sock);
    t_connection = -1;
    t_destination.reset();
    return result;
}

} // namespace

void keepSynHeaders(int listeningSocket)
{
    httplib::default_socket_options(listeningSocket);
    // 2: with the link-layer header (Linux 5.10 on); an older kernel refuses it and the simulator tells
    // modules apart by address alone.
    const int withLinkHeader = 2;
    setsockopt(listeningSocket, IPPROTO_TCP, TCP_SAVE_SYN, &withLinkHeader, sizeof withLinkHeader);
}

std::optional<MacAddress> destinationOfSyn(std::span<const std::uint8_t> saved)
{
    // An Ethernet header is told from a bare IPv4 one by its type field and the version that follows.
    if (saved.size() < kEthernetHeader + 20 || saved[12] != 0x08 || saved[13] != 0x00 ||
        (saved[kEthernetHeader] >> 4) != 4)
        return std::nullopt;
    MacAddress mac{};
    std::copy_n(saved.begin(), mac.size(), mac.begin());
    if (mac == MacAddress{}) return std::nullopt;
    return mac;
}

std::optional<MacAddress> currentDestination()
{
    return t_destination;
}

bool FilteredHttpServer::process_and_close_socket(socket_t sock)
{
    return serveIfAnswered(sock, m_filter, [this](socket_t s) { return httplib::Server::process_and_close_socket(s); });
}

bool FilteredHttpsServer::process_and_close_socket(socket_t sock)
{
    return serveIfAnswered(sock, m_filter, [this](socket_t s) { return httplib::SSLServer::process_and_close_socket(s); });
}

bool FilteredHttpServer::widenBacklog(int backlog)
{
    return svr_sock_ != INVALID_SOCKET && ::listen(svr_sock_, backlog) == 0;
}

bool FilteredHttpsServer::widenBacklog(int backlog)
{
    return svr_sock_ != INVALID_SOCKET && ::listen(svr_sock_, backlog) == 0;
}

void dropCurrentConnection()
{
    if (t_connection >= 0) shutdown(t_connection, SHUT_RDWR);
}

} // namespace tarrowind::sim
