#include "connection_stream.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tarrowind::sim {

namespace {

bool waitFor(socket_t sock, short events, int timeoutMs)
{
    pollfd entry{sock, events, 0};
    int ready;
    do {
        ready = poll(&entry, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

template <typename Call>
ssize_t retryInterrupted(Call call)
{
    ssize_t result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

void numericAddress(const sockaddr_storage& address, socklen_t length, std::string& ip, int& port)
{
    if (address.ss_family == AF_INET)
        port = ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    else if (address.ss_family == AF_INET6)
        port = ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    else
        return;
    char text[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, text, sizeof text, nullptr, 0,
                    NI_NUMERICHOST) == 0)
        ip = text;
}

} // namespace

bool waitReadable(socket_t sock, int timeoutMs)
{
    return waitFor(sock, POLLIN, timeoutMs);
}

bool ConnectionStream::is_readable() const
{
    return waitReadable(m_sock, m_readTimeoutMs);
}

bool ConnectionStream::is_writable() const
{
    if (!waitFor(m_sock, POLLOUT, m_writeTimeoutMs)) return false;
    // A peer that has gone is not written to: nothing waiting to be read, or a byte that is.
    if (!waitReadable(m_sock, 0)) return true;
    char byte;
    return retryInterrupted([&] { return recv(m_sock, &byte, 1, MSG_PEEK); }) > 0;
}

ssize_t ConnectionStream::read(char* ptr, size_t size)
{
    if (m_begin == m_end) {
        if (!is_readable()) return -1;
        if (size >= m_buffer.size()) return retryInterrupted([&] { return recv(m_sock, ptr, size, 0); });
        const ssize_t received = retryInterrupted([&] { return recv(m_sock, m_buffer.data(), m_buffer.size(), 0); });
        if (received <= 0) return received;
        m_begin = 0;
        m_end = static_cast<std::size_t>(received);
    }
    const std::size_t taken = std::min(size, m_end - m_begin);
    std::memcpy(ptr, m_buffer.data() + m_begin, taken);
    m_begin += taken;
    return static_cast<ssize_t>(taken);
}

ssize_t ConnectionStream::write(const char* ptr, size_t size)
{
    if (!is_writable()) return -1;
    return retryInterrupted([&] { return send(m_sock, ptr, size, MSG_NOSIGNAL); });
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getpeername(m_sock, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        numericAddress(address, length, ip, port);
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(m_sock, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        numericAddress(address, length, ip, port);
}

} // namespace tarrowind::sim
