#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <memory>
#include <thread>

#include "platform/http_client.h"
#include "platform/udp_sockets.h"
#include "tests/unit/platform/win32/loopback.h"

namespace tarrowind {
namespace {

// A one-shot web server on the loopback address: reads one request (headers and the announced body, or
// what came before the client gave up), answers `answer`, closes.
class OneShotServer {
public:
    explicit OneShotServer(std::string answer) : m_answer(std::move(answer))
    {
        UdpSockets::System().Open();  // starts Winsock
        m_listener = testing::BoundLoopbackSocket(SOCK_STREAM, m_port);
        ::listen(m_listener, 1);
        m_thread = std::thread([this] { Serve(); });
    }
    ~OneShotServer()
    {
        ::closesocket(m_listener);
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    std::uint16_t Port() const { return m_port; }
    // Once the client's Perform returned: the request as the server read it.
    const std::string& Request()
    {
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return m_request;
    }

private:
    void Serve()
    {
        const SOCKET client = ::accept(m_listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            return;
        }
        char buffer[65536];
        for (;;) {
            const auto end = m_request.find("\r\n\r\n");
            if (end != std::string::npos) {
                const auto at = m_request.find("Content-Length: ");
                const std::size_t length = at == std::string::npos ? 0 : std::stoul(m_request.substr(at + 16));
                if (m_request.size() >= end + 4 + length) {
                    break;
                }
            }
            const int n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            m_request.append(buffer, static_cast<std::size_t>(n));
        }
        for (std::size_t sent = 0; sent < m_answer.size();) {
            const int n = ::send(client, m_answer.data() + sent, static_cast<int>(std::min<std::size_t>(m_answer.size() - sent, 1 << 20)), 0);
            if (n <= 0) {
                break;
            }
            sent += static_cast<std::size_t>(n);
        }
        ::shutdown(client, SD_SEND);
        ::closesocket(client);
    }

    std::string m_answer;
    SOCKET m_listener = INVALID_SOCKET;
    std::uint16_t m_port = 0;
    std::string m_request;
    std::thread m_thread;
};

std::string Answer(const std::string& body, const std::string& status = "200 OK")
{
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// The layer with the tests' allowance for their loopback servers.
HttpClient& Client()
{
    static const std::unique_ptr<HttpClient> client = HttpClient::Make(HttpClientOptions{nullptr, true});
    return *client;
}

HttpRequest To(const OneShotServer& server, const std::string& method, const std::string& path)
{
    HttpRequest r;
    r.method = method;
    r.host = "127.0.0.1";
    r.port = server.Port();
    r.path = path;
    r.basicAuth = false;
    return r;
}

TEST(WinHttp, SendsThePatternsRequestAndReadsTheWholeAnswer)
{
    OneShotServer server(Answer("<html>401 Unauthorized</html>", "401 Unauthorized"));
    HttpRequest r = To(server, "POST", "/login.cgi?user=a&b&pswd=-1f-2e");
    r.basicAuth = true;
    r.user = "admin";
    r.password = "s3cret";
    r.headers = {"Referer: http://127.0.0.1/"};
    r.hasBody = true;
    r.body = "RedirectUrl=https\r\n";
    const HttpResult result = Client().Perform(r);
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.status, 401);  // read, not judged: the caller looks for refusal texts
    EXPECT_EQ(result.body, "<html>401 Unauthorized</html>");
    const std::string& q = server.Request();
    EXPECT_EQ(q.rfind("POST /login.cgi?user=a&b&pswd=-1f-2e HTTP/1.1\r\n", 0), 0u) << q;  // as given
    EXPECT_NE(q.find("User-Agent: Tarrowind\r\n"), std::string::npos) << q;
    EXPECT_NE(q.find("Authorization: Basic YWRtaW46czNjcmV0\r\n"), std::string::npos) << q;
    EXPECT_NE(q.find("Referer: http://127.0.0.1/\r\n"), std::string::npos) << q;
    EXPECT_NE(q.find("Content-Length: 19\r\n"), std::string::npos) << q;
    EXPECT_EQ(q.find("Content-Type"), std::string::npos) << q;
    EXPECT_EQ(q.substr(q.size() - 19), "RedirectUrl=https\r\n");
}

TEST(WinHttp, RefusesHostsThatAreNoAddressAndReportsFailedSteps)
{
    HttpRequest r;
    r.host = "127.0.0.1\r\nX: y";
    EXPECT_EQ(Client().Perform(r).code, HttpClient::kBadHost);
    r.host = "localhost";
    EXPECT_EQ(Client().Perform(r).code, HttpClient::kBadHost);

    std::uint16_t closed = 0;
    UdpSockets::System().Open();
    ::closesocket(testing::BoundLoopbackSocket(SOCK_STREAM, closed));
    r.host = "127.0.0.1";
    r.port = closed;
    const int code = Client().Perform(r).code;
    EXPECT_NE(code, 0);
    EXPECT_GT(code, 0);  // never -1, -2 or -3, which the operations keep for themselves
}

TEST(WinHttp, AnAnswerPastTheCapEndsTheRequest)
{
    OneShotServer server(Answer(std::string(HttpClient::kMaxBodyBytes + 1, 'x')));
    const HttpResult result = Client().Perform(To(server, "GET", "/big"));
    EXPECT_EQ(result.code, HttpClient::kBodyTooLarge);
    EXPECT_TRUE(result.body.empty());
}

// Gives `size` bytes of 'f', failing after `failAt` of them.
class FileLikeSource final : public HttpBodySource {
public:
    FileLikeSource(std::uint64_t size, std::uint64_t failAt) : m_size(size), m_failAt(failAt) {}
    std::uint64_t Size() const override { return m_size; }
    bool ReadAt(std::uint64_t offset, std::span<char> buffer) override
    {
        if (offset + buffer.size() > m_failAt) {
            return false;
        }
        std::fill(buffer.begin(), buffer.end(), 'f');
        return true;
    }

private:
    std::uint64_t m_size;
    std::uint64_t m_failAt;
};

TEST(WinHttp, StreamsABodySourceAndStopsShortWhenItFails)
{
    {
        OneShotServer server(Answer("ok"));
        FileLikeSource source(300000, UINT64_MAX);
        HttpRequest r = To(server, "POST", "/ETHUpload.cgi");
        r.hasBody = true;
        r.bodySource = &source;
        const HttpResult result = Client().Perform(r);
        EXPECT_EQ(result.code, 0);
        EXPECT_EQ(result.body, "ok");
        EXPECT_EQ(server.Request().substr(server.Request().find("\r\n\r\n") + 4), std::string(300000, 'f'));
    }
    OneShotServer server(Answer("ok"));
    FileLikeSource source(300000, 100000);
    HttpRequest r = To(server, "POST", "/ETHUpload.cgi");
    r.hasBody = true;
    r.bodySource = &source;
    EXPECT_EQ(Client().Perform(r).code, HttpClient::kBodySourceFailed);
    // The server has seen less than the announced length.
    EXPECT_LT(server.Request().size() - server.Request().find("\r\n\r\n") - 4, 300000u);
}

TEST(WinHttp, ARedirectIsAFailureAndIsNotFollowed)
{
    OneShotServer elsewhere(Answer("taken"));
    OneShotServer server("HTTP/1.1 307 Temporary Redirect\r\nLocation: http://127.0.0.1:" + std::to_string(elsewhere.Port()) +
                         "/ConfigHidden\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    HttpRequest r = To(server, "POST", "/ConfigHidden");
    r.hasBody = true;
    r.body = "AdminPasswd=new";
    const HttpResult result = Client().Perform(r);
    EXPECT_EQ(result.code, HttpClient::kRedirectRefused);
    EXPECT_EQ(result.status, 307);
    EXPECT_NE(server.Request().find("AdminPasswd=new"), std::string::npos);
    // Nothing reached the address the answer pointed to; its server gives up waiting when it is closed.
    HttpRequest wake = To(elsewhere, "GET", "/");
    EXPECT_EQ(Client().Perform(wake).code, 0);
    EXPECT_EQ(elsewhere.Request().rfind("GET / ", 0), 0u) << elsewhere.Request();
}

TEST(WinHttp, AddressesThatCannotBeAModuleAreRefusedBeforeAnyConnection)
{
    OneShotServer server(Answer("ok"));
    HttpRequest r = To(server, "GET", "/");
    EXPECT_EQ(HttpClient::System().Perform(r).code, HttpClient::kAddressRefused);  // no test allowance
    for (const char* host : {"0.0.0.0", "224.0.0.1", "255.255.255.255"}) {
        r.host = host;
        EXPECT_EQ(Client().Perform(r).code, HttpClient::kAddressRefused) << host;
    }
    r.host = "127.0.0.1";
    EXPECT_EQ(Client().Perform(r).code, 0);
    EXPECT_EQ(server.Request().rfind("GET / ", 0), 0u);  // the first request that reached it
}

}  // namespace
}  // namespace tarrowind
