#include "platform/win32/winsock_start.h"

#include <winsock2.h>

namespace tarrowind {

bool StartWinsock()
{
    // Never cleaned up: sockets may still be closed by static destructors at exit.
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

}  // namespace tarrowind
