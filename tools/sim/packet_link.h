#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarrowind::sim {

class LinkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One raw Ethernet socket bound to one lab link. Sees every frame on the link (promiscuous), so
// frames to any simulated module's MAC arrive, and sends frames exactly as built.
class PacketLink {
public:
    explicit PacketLink(std::string interfaceName);
    ~PacketLink();
    PacketLink(const PacketLink&) = delete;
    PacketLink& operator=(const PacketLink&) = delete;

    const std::string& name() const { return m_name; }
    int fd() const { return m_fd; }

    // Next frame received from the wire (frames this host sent are skipped); false when none waits.
    // checksumReady is false when the sender left the transport checksum to offload, so it cannot
    // be checked. Throws LinkError when the interface has disappeared.
    bool receive(std::vector<std::uint8_t>& frame, bool& checksumReady);

    // Sends at once, or keeps the frame in order behind others when the kernel is out of room.
    void send(std::vector<std::uint8_t> frame);
    // Sends what was kept back; stops at the first frame that still does not fit.
    void flush();

    bool hasPending() const { return !m_pending.empty(); }
    // Out of room in the socket (wait for POLLOUT) rather than below it (retry after a pause).
    bool waitingForRoom() const { return m_waitForRoom; }
    std::size_t dropped() const { return m_dropped; }

private:
    enum class Result { Sent, Busy, Failed };
    Result sendNow(const std::vector<std::uint8_t>& frame);

    std::string m_name;
    int m_fd = -1;
    int m_ifindex = 0;
    std::deque<std::vector<std::uint8_t>> m_pending;
    bool m_waitForRoom = false;
    std::size_t m_dropped = 0;
};

} // namespace tarrowind::sim
