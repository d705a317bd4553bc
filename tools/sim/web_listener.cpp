// Built with -fno-access-control: the servers' per-connection step is private in the library, and
// this file only calls the library's own version of it after looking at the socket.
#include "web_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarrowind::sim {

namespace {

// Each connection is served start to end on one pool thread.
thread_local int t_connection = -1;

template <typename Serve>
bool serveIfAnswered(socket_t sock, const AddressFilter& filter, Serve serve)
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (getsockname(sock, reinterpret_cast<sockaddr*>(&local), &length) != 0 || local.sin_family != AF_INET ||
        !filter(ntohl(local.sin_addr.s_addr))) {
        shutdown(sock, SHUT_RDWR);
        close(sock);
        return false;
    }
    t_connection = sock;
    const bool result = serve(sock);
    t_connection = -1;
    return result;
}

} // namespace

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
