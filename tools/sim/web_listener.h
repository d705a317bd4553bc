#pragma once

#include "net_types.h"

#include <httplib.h>

#include <functional>
#include <optional>
#include <span>

namespace tarrowind::sim {

// Tells whether anybody answers on the local address a connection reached, sent to that destination
// MAC (nothing when it is unknown, as on loopback).
using AddressFilter = std::function<bool(Ipv4Address local, const std::optional<MacAddress>& destination)>;

// Several modules may share one address (new ones on their factory address); the client's neighbour
// entry picks which one it talks to, so a connection belongs to the module whose MAC its first frame
// was sent to. The listening sockets keep each connection's SYN with its Ethernet header for this.
void keepSynHeaders(int listeningSocket);
// The destination MAC of a SYN kept with its Ethernet header; nothing without one, or for the all-zero
// MAC of loopback.
std::optional<MacAddress> destinationOfSyn(std::span<const std::uint8_t> saved);
// The destination MAC of the connection the calling handler serves, when known.
std::optional<MacAddress> currentDestination();

// HTTP and HTTPS servers that look at each accepted connection first: one to an address nobody
// serves on this scheme is closed before a byte is read (before any TLS handshake), so the client
// gets no answer at all, as from a module that is not there.
class FilteredHttpServer : public httplib::Server {
public:
    explicit FilteredHttpServer(AddressFilter filter) : m_filter(std::move(filter)) {}
    // The library listens with a backlog of 5, too few for dozens of clients connecting at once;
    // after binding, this raises it. False when the socket is not bound.
    bool widenBacklog(int backlog);

private:
    // The library's step for each accepted connection; this one serves the requests itself (through
    // the library's request handling) once the connection is let through.
    bool process_and_close_socket(socket_t sock) override;
    AddressFilter m_filter;
};

// The TLS library reports the start of each handshake before it reads anything; the connection is
// looked at there.
class FilteredHttpsServer : public httplib::SSLServer {
public:
    FilteredHttpsServer(X509* certificate, EVP_PKEY* key, AddressFilter filter);
    bool widenBacklog(int backlog);

private:
    static void onHandshakeStep(const SSL* ssl, int where, int result);
    AddressFilter m_filter;
};

// Ends the connection the calling handler serves without an answer: the socket is shut down, so
// whatever the handler leaves in its response is never sent. Does nothing off a server thread.
void dropCurrentConnection();

} // namespace tarrowind::sim
