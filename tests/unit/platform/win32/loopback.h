#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>

namespace tarrowind::testing {

inline std::uint32_t Loopback()
{
    return ::htonl(INADDR_LOOPBACK);
}

// A socket of `type` bound to 127.0.0.1 on a port of the system's choice, and that port (host order).
inline SOCKET BoundLoopbackSocket(int type, std::uint16_t& port)
{
    const SOCKET s = ::socket(AF_INET, type, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = Loopback();
    int length = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    port = ::ntohs(address.sin_port);
    return s;
}

}  // namespace tarrowind::testing
