#pragma once

#include <httplib.h>

#include <array>
#include <cstddef>

namespace tarrowind::sim {

// A plain connection as the HTTP library's request step reads and writes it, with the server's read
// and write timeouts. The listener serves each connection it lets through with one of these, so it
// can look at the socket before the library reads a byte.
class ConnectionStream : public httplib::Stream {
public:
    ConnectionStream(socket_t sock, int readTimeoutMs, int writeTimeoutMs)
        : m_sock(sock), m_readTimeoutMs(readTimeoutMs), m_writeTimeoutMs(writeTimeoutMs)
    {
    }

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return m_sock; }

private:
    socket_t m_sock;
    int m_readTimeoutMs;
    int m_writeTimeoutMs;
    // Request lines are read a byte at a time: one receive fills this for many of them.
    std::array<char, 4096> m_buffer{};
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
};

// Waits up to `timeoutMs` for something to read on `sock` (or its end); false on a timeout or error.
bool waitReadable(socket_t sock, int timeoutMs);

} // namespace tarrowind::sim
