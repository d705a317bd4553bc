#include "web_listener.h"

#include "connection_stream.h"

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

// Whether the connection on `sock` reached an address somebody answers on; if so the calling thread
// serves it, and its handlers learn the connection and its destination. Otherwise it is shut down.
bool admit(socket_t sock, const AddressFilter& filter)
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    const std::optional<MacAddress> destination = savedDestination(sock);
    if (getsockname(sock, reinterpret_cast<sockaddr*>(&local), &length) != 0 || local.sin_family != AF_INET ||
        !filter(NetworkToHostOrder(local.sin_addr.s_addr), destination)) {
        shutdown(sock, SHUT_RDWR);
        return false;
    }
    t_connection = sock;
    t_destination = destination;
    return true;
}

int milliseconds(time_t seconds, time_t microseconds)
{
    return static_cast<int>(seconds * 1000 + microseconds / 1000);
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
    bool served = false;
    if (admit(sock, m_filter)) {
        // As the library does: up to the keep-alive count of requests, each awaited for the keep-alive
        // timeout, until one fails, the client asks to close or the server stops.
        for (std::size_t left = keep_alive_max_count_;
             left > 0 && svr_sock_ != INVALID_SOCKET && waitReadable(sock, milliseconds(keep_alive_timeout_sec_, 0));
             --left) {
            ConnectionStream stream(sock, milliseconds(read_timeout_sec_, read_timeout_usec_),
                                    milliseconds(write_timeout_sec_, write_timeout_usec_));
            bool closed = false;
            served = process_request(stream, left == 1, closed, nullptr);
            if (!served || closed) break;
        }
        t_connection = -1;
        t_destination.reset();
    }
    shutdown(sock, SHUT_RDWR);
    close(sock);
    return served;
}

FilteredHttpsServer::FilteredHttpsServer(X509* certificate, EVP_PKEY* key, AddressFilter filter)
    : httplib::SSLServer(certificate, key), m_filter(std::move(filter))
{
    if (SSL_CTX* context = ssl_context()) {
        SSL_CTX_set_app_data(context, this);
        SSL_CTX_set_info_callback(context, onHandshakeStep);
    }
}

void FilteredHttpsServer::onHandshakeStep(const SSL* ssl, int where, int)
{
    // The first handshake of a connection runs on the thread that then serves its requests.
    if ((where & SSL_CB_HANDSHAKE_START) == 0 || !SSL_in_before(ssl)) return;
    const auto* self = static_cast<const FilteredHttpsServer*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    // A refused connection is shut down here, so the handshake ends at its first read.
    if (!admit(SSL_get_fd(ssl), self->m_filter)) {
        t_connection = -1;
        t_destination.reset();
    }
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
