#include "platform/wake_event.h"

#include <winsock2.h>

#include "platform/win32/winsock_start.h"

namespace tarrowind {
namespace {

SOCKET Handle(int fd)
{
    return static_cast<SOCKET>(static_cast<unsigned>(fd));
}

// A UDP socket on the loopback address that is connected to itself: a datagram sent to it makes it
// readable, and WSAPoll can wait on it beside the module sockets.
int OpenSelfConnectedSocket()
{
    if (!StartWinsock()) {
        return -1;
    }
    const SOCKET s = ::WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        return -1;
    }
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int length = sizeof self;
    u_long nonBlocking = 1;
    if (::bind(s, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&self), &length) != 0 ||
        ::connect(s, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 || ::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        ::closesocket(s);
        return -1;
    }
    return static_cast<int>(s);
}

}  // namespace

WakeEvent::WakeEvent() : m_fd(OpenSelfConnectedSocket()) {}

WakeEvent::~WakeEvent()
{
    if (m_fd >= 0) {
        ::closesocket(Handle(m_fd));
    }
}

void WakeEvent::Signal()
{
    if (m_fd >= 0) {
        const char one = 1;
        ::send(Handle(m_fd), &one, 1, 0);
    }
}

void WakeEvent::Reset()
{
    if (m_fd >= 0) {
        char byte;
        while (::recv(Handle(m_fd), &byte, 1, 0) == 1) {
        }
    }
}

}  // namespace tarrowind
