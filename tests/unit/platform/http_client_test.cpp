// The libcurl layer against loopback servers: no redirect is followed, addresses that cannot be a module
// are refused before any connection, and a module's key is checked before any request byte leaves.
#include "platform/http_client.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <atomic>
#include <thread>

#include "platform/adapter_table.h"
#include "tls_identity.h"

namespace tarrowind {
namespace {

// A server of either scheme on 127.0.0.1 that counts what reached it, even before any handler runs.
template <typename Server>
class Loopback {
public:
    template <typename... Args>
    explicit Loopback(Args&&... args) : server(std::forward<Args>(args)...)
    {
        server.set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
            ++requests;
            return httplib::Server::HandlerResponse::Unhandled;
        });
    }
    void Start()
    {
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running()) {
            std::this_thread::yield();
        }
    }
    ~Loopback()
    {
        server.stop();
        thread.join();
    }
    HttpRequest Request(const std::string& method, const std::string& path) const
    {
        HttpRequest r;
        r.method = method;
        r.host = "127.0.0.1";
        r.port = static_cast<std::uint16_t>(port);
        r.path = path;
        r.user = "admin";
        r.password = "s3cret";
        r.https = std::is_same_v<Server, httplib::SSLServer>;
        return r;
    }

    Server server;
    int port = 0;
    std::atomic<int> requests{0};
    std::thread thread;
};

std::unique_ptr<HttpClient> LoopbackClient()
{
    return HttpClient::Make(HttpClientOptions{nullptr, true});
}

TEST(HttpClient, ARedirectIsAFailureAndIsNotFollowed)
{
    Loopback<httplib::Server> elsewhere;
    elsewhere.server.Post("/ConfigHidden", [](const httplib::Request&, httplib::Response& res) { res.set_content("ok", "text/plain"); });
    elsewhere.Start();
    Loopback<httplib::Server> module;
    for (const int status : {301, 302, 303, 307, 308}) {
        module.server.Post("/ConfigHidden" + std::to_string(status), [&, status](const httplib::Request&, httplib::Response& res) {
            res.status = status;
            res.set_header("Location", "http://127.0.0.1:" + std::to_string(elsewhere.port) + "/ConfigHidden");
        });
    }
    module.server.Get("/Eng/Other.htm", [&](const httplib::Request&, httplib::Response& res) {
        res.status = 302;
        res.set_header("Location", "/Eng/Welcome.htm");
        res.set_content("moved", "text/html");
    });
    module.Start();
    const auto client = LoopbackClient();
    for (const int status : {301, 302, 303, 307, 308}) {
        HttpRequest r = module.Request("POST", "/ConfigHidden" + std::to_string(status));
        r.hasBody = true;
        r.body = "Reboot=0&Default=0&AdminPasswd=new&3Des1=k1";
        const HttpResult result = client->Perform(r);
        EXPECT_EQ(result.code, HttpClient::kRedirectRefused) << status;
        EXPECT_EQ(result.status, status);
    }
    EXPECT_EQ(client->Perform(module.Request("GET", "/Eng/Other.htm")).code, HttpClient::kRedirectRefused);
    EXPECT_EQ(module.requests.load(), 6);
    EXPECT_EQ(elsewhere.requests.load(), 0);
}

// The computer's own adapters as the system would list them: a loopback address stands for one, so that
// a request the rule failed to stop would still stay on this computer.
class OwnAdapters final : public AdapterTable {
public:
    std::optional<std::vector<SystemAdapter>> Read() override
    {
        return std::vector<SystemAdapter>{{2, "eth0", {{"127.0.0.2", "255.255.255.0"}}}};
    }
};

TEST(HttpClient, AddressesThatCannotBeAModuleAreRefusedBeforeAnyConnection)
{
    Loopback<httplib::Server> server;
    server.server.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_content("ok", "text/plain"); });
    server.Start();
    // Loopback is refused unless the test allowance is given, even with a server listening there.
    EXPECT_EQ(HttpClient::System().Perform(server.Request("GET", "/")).code, HttpClient::kAddressRefused);
    EXPECT_EQ(HttpClient::Make(HttpClientOptions{})->Perform(server.Request("GET", "/")).code, HttpClient::kAddressRefused);
    EXPECT_EQ(server.requests.load(), 0);
    OwnAdapters adapters;
    const auto client = HttpClient::Make(HttpClientOptions{&adapters, true});
    EXPECT_EQ(client->Perform(server.Request("GET", "/")).code, 0);
    EXPECT_EQ(server.requests.load(), 1);
    // The computer's own address, read from its adapter table at the request; the fixed rules.
    for (const char* host : {"127.0.0.2", "0.0.0.0", "224.0.0.1", "239.255.255.250", "255.255.255.255"}) {
        HttpRequest r = server.Request("GET", "/");
        r.host = host;
        EXPECT_EQ(client->Perform(r).code, HttpClient::kAddressRefused) << host;
    }
    HttpRequest other = server.Request("GET", "/");
    other.host = "127.0.0.3";  // not listed as the computer's: tried, and nobody listens there
    const int code = client->Perform(other).code;
    EXPECT_NE(code, HttpClient::kAddressRefused);
    EXPECT_NE(code, 0);
}

KeyFingerprint FingerprintOf(EVP_PKEY* key)
{
    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(key, &der);
    KeyFingerprint hash{};
    EVP_Digest(der, static_cast<std::size_t>(length), hash.data(), nullptr, EVP_sha256(), nullptr);
    OPENSSL_free(der);
    return hash;
}

TEST(HttpClient, TheServersKeyIsLearnedThenCheckedBeforeAnyRequestByte)
{
    const auto identity = sim::TlsIdentity::generate("module");
    Loopback<httplib::SSLServer> module(identity.certificate(), identity.key());
    std::atomic<int> authorised{0};
    module.server.Get("/Eng/Other.htm", [&](const httplib::Request& req, httplib::Response& res) {
        authorised += req.get_header_value("Authorization") == "Basic YWRtaW46czNjcmV0";
        res.set_content("page", "text/html");
    });
    module.Start();
    const auto client = LoopbackClient();
    const KeyFingerprint key = FingerprintOf(identity.key());

    const HttpResult first = client->Perform(module.Request("GET", "/Eng/Other.htm"));
    EXPECT_EQ(first.code, 0);
    EXPECT_EQ(first.body, "page");
    ASSERT_TRUE(first.serverKey.has_value());
    EXPECT_EQ(*first.serverKey, key);

    HttpRequest pinned = module.Request("GET", "/Eng/Other.htm");
    pinned.expectedKey = key;
    EXPECT_EQ(client->Perform(pinned).code, 0);
    EXPECT_EQ(authorised.load(), 2);

    KeyFingerprint other = key;
    other[31] ^= 1;
    pinned.expectedKey = other;
    const HttpResult refused = client->Perform(pinned);
    EXPECT_EQ(refused.code, HttpClient::kCertificateChanged);
    ASSERT_TRUE(refused.serverKey.has_value());
    EXPECT_EQ(*refused.serverKey, key);  // what the window shows as the new key
    EXPECT_TRUE(refused.body.empty());
    EXPECT_EQ(module.requests.load(), 2);  // the third never got past the handshake
}

}  // namespace
}  // namespace tarrowind
