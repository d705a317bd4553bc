#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/udp_sockets.h"
#include "platform/wake_event.h"
#include "tests/unit/platform/win32/loopback.h"

namespace tarrowind {
namespace {

using testing::BoundLoopbackSocket;
using testing::Loopback;

class WinsockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_first = net.Open();  // starts Winsock for the raw calls below too
        ASSERT_NE(m_first, UdpSockets::kNoSocket);
        m_peer = BoundLoopbackSocket(SOCK_DGRAM, m_peerPort);
    }
    void TearDown() override
    {
        net.Close(m_first);
        ::closesocket(m_peer);
    }
    // The peer answers the last datagram it got with `bytes` bytes.
    void Answer(int bytes)
    {
        char buffer[2048];
        sockaddr_in from{};
        int length = sizeof from;
        ASSERT_GT(::recvfrom(m_peer, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length), 0);
        const std::vector<char> answer(static_cast<std::size_t>(bytes), 'r');
        ::sendto(m_peer, answer.data(), bytes, 0, reinterpret_cast<sockaddr*>(&from), length);
    }

    UdpSockets& net = UdpSockets::System();
    int m_first = UdpSockets::kNoSocket;
    SOCKET m_peer = INVALID_SOCKET;
    std::uint16_t m_peerPort = 0;
};

TEST_F(WinsockTest, DatagramsGoOutAndComeBackWholeOrNotAtAll)
{
    EXPECT_TRUE(net.SetBroadcast(m_first));
    net.SetReceiveBuffer(m_first, 4 << 20);
    int size = 0;
    int length = sizeof size;
    ::getsockopt(static_cast<SOCKET>(m_first), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&size), &length);
    EXPECT_GE(size, 4 << 20);

    const std::uint8_t probe[] = {1, 2, 3};
    ASSERT_TRUE(net.SendTo(m_first, Loopback(), m_peerPort, probe));
    Answer(100);
    const int sockets[] = {m_first};
    ASSERT_EQ(net.WaitReadable(sockets, 5000, UdpSockets::kNoSocket), 0);
    std::uint8_t buffer[512];
    EXPECT_EQ(net.Receive(m_first, buffer), 100);

    // A datagram larger than the buffer is dropped, not handed on cut short.
    ASSERT_EQ(net.TrySendTo(m_first, Loopback(), m_peerPort, probe), UdpSockets::SendOutcome::Sent);
    Answer(600);
    ASSERT_EQ(net.WaitReadable(sockets, 5000, UdpSockets::kNoSocket), 0);
    EXPECT_EQ(net.Receive(m_first, buffer), -1);
    // Nothing left: the receive does not wait.
    EXPECT_EQ(net.Receive(m_first, buffer), -1);
}

TEST_F(WinsockTest, AnUnreachablePortDoesNotSpoilTheNextReceive)
{
    std::uint16_t closedPort = 0;
    ::closesocket(BoundLoopbackSocket(SOCK_DGRAM, closedPort));
    const std::uint8_t probe[] = {7};
    ASSERT_TRUE(net.SendTo(m_first, Loopback(), closedPort, probe));
    ASSERT_TRUE(net.SendTo(m_first, Loopback(), m_peerPort, probe));
    Answer(10);
    const int sockets[] = {m_first};
    std::uint8_t buffer[64];
    int received = -1;
    for (int i = 0; i < 3 && received < 0; ++i) {
        if (net.WaitReadable(sockets, 2000, UdpSockets::kNoSocket) == 0) {
            received = net.Receive(m_first, buffer);
        }
    }
    EXPECT_EQ(received, 10);
}

TEST_F(WinsockTest, WaitsOnMoreSocketsThanSixtyFourAndWakesOnTheEvent)
{
    std::vector<int> sockets;
    for (int i = 0; i < 99; ++i) {
        sockets.push_back(net.Open());
        ASSERT_NE(sockets.back(), UdpSockets::kNoSocket);
    }
    sockets.push_back(m_first);
    const std::uint8_t probe[] = {1};
    ASSERT_TRUE(net.SendTo(m_first, Loopback(), m_peerPort, probe));
    Answer(5);
    EXPECT_EQ(net.WaitReadable(sockets, 5000, UdpSockets::kNoSocket), 99);

    std::uint8_t buffer[16];
    ASSERT_EQ(net.Receive(m_first, buffer), 5);
    WakeEvent wake;
    ASSERT_GE(wake.Fd(), 0);
    wake.Signal();
    wake.Signal();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(net.WaitReadable(sockets, 20000, wake.Fd()), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    // Still signalled for the next waiter until reset, then quiet.
    WSAPOLLFD fd{static_cast<SOCKET>(wake.Fd()), POLLRDNORM, 0};
    EXPECT_EQ(::WSAPoll(&fd, 1, 0), 1);
    wake.Reset();
    EXPECT_EQ(::WSAPoll(&fd, 1, 0), 0);
    for (int s : sockets) {
        if (s != m_first) {
            net.Close(s);
        }
    }
}

}  // namespace
}  // namespace tarrowind
