// The web server on loopback: modules at 127.0.0.1, clients of both schemes, faults and restarts.
#include "web_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace tarrowind::sim;
using namespace std::chrono_literals;

namespace {

constexpr Ipv4Address kLoopback = 0x7F000001u;

ModuleConfig module(ModuleKind kind, bool https)
{
    ModuleConfig m;
    m.kind = kind;
    m.replyLength = kind == ModuleKind::BinaryDactyl ? 84 : 172;
    m.name = "Door 1";
    m.mac = {0x02, 0, 0, 0, 0x01, 0x01};
    m.ip = kLoopback;
    m.version = "V3.10R2";
    m.useHttps = https;
    m.link = "lo";
    m.firmwareWriteMs = 400;
    return m;
}

std::string chain(std::uint8_t first, std::string_view password)
{
    char group[4];
    std::snprintf(group, sizeof group, "-%.2x", first);
    std::string out = group;
    for (char c : password) {
        first = static_cast<std::uint8_t>(first ^ static_cast<std::uint8_t>(c));
        std::snprintf(group, sizeof group, "-%.2x", first);
        out += group;
    }
    return out;
}

std::string uploadBody(const std::string& file)
{
    return "--Tarrowind\r\nContent-Disposition: form-data; name=\"RedirectUrl\"\r\n\r\nhttps\r\n"
           "--Tarrowind\r\nContent-Disposition: form-data; name=\"SourceFile\"; filename=\"C:\\fw\\a.bin\"\r\n"
           "Content-Type: application/octet-stream\r\n\r\n" + file + "\r\n--Tarrowind--\r\n";
}

const httplib::Headers kUploadHeaders{{"Content-Type", "multipart/form-data; boundary=Tarrowind"}};

class WebServerTest : public ::testing::Test {
protected:
    void start(std::vector<ModuleConfig> modules, std::uint32_t silenceMs = 200)
    {
        SimConfig config;
        config.restartSilenceMs = silenceMs;
        config.modules = std::move(modules);
        table.load(config);
        WebServerOptions options;
        options.address = "127.0.0.1";
        options.httpPort = 0;
        options.httpsPort = 0;
        options.threads = 8;
        server = std::make_unique<WebServer>(table, inbox, options);
        server->start();
    }

    ModulePtr first() const { return table.current()->all.front(); }

    std::unique_ptr<httplib::Client> http(const char* user = "admin", const char* password = "admin")
    {
        auto client = std::make_unique<httplib::Client>("127.0.0.1", server->httpPort());
        client->set_read_timeout(5, 0);
        if (user) client->set_basic_auth(user, password);
        return client;
    }

    std::unique_ptr<httplib::SSLClient> https(const char* user = "admin", const char* password = "admin")
    {
        auto client = std::make_unique<httplib::SSLClient>("127.0.0.1", server->httpsPort());
        client->enable_server_certificate_verification(false);
        client->set_read_timeout(5, 0);
        if (user) client->set_basic_auth(user, password);
        return client;
    }

    // The restarts the server posted, waiting a little for the first.
    std::vector<StartRestart> restarts(std::chrono::milliseconds wait = 2s)
    {
        const auto until = Clock::now() + wait;
        std::vector<StartRestart> taken;
        while (taken.empty() && Clock::now() < until) {
            taken = inbox.take();
            if (taken.empty()) std::this_thread::sleep_for(5ms);
        }
        return taken;
    }

    ModuleTable table;
    RestartInbox inbox;
    std::unique_ptr<WebServer> server;
};

// The public key the HTTPS server shows on 127.0.0.1 (DER), empty when no handshake took place.
std::string shownKey(int port)
{
    std::string key;
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(kLoopback);
    SSL* ssl = SSL_new(ctx);
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 && SSL_set_fd(ssl, fd) == 1 && SSL_connect(ssl) == 1) {
        if (X509* cert = SSL_get1_peer_certificate(ssl)) {
            unsigned char* der = nullptr;
            const int n = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(cert), &der);
            if (n > 0) key.assign(reinterpret_cast<char*>(der), static_cast<std::size_t>(n));
            OPENSSL_free(der);
            X509_free(cert);
        }
        SSL_shutdown(ssl);
    }
    SSL_free(ssl);
    close(fd);
    SSL_CTX_free(ctx);
    return key;
}

} // namespace

TEST_F(WebServerTest, AFactoryDefaultGivesAModuleThatAsksForItANewKey)
{
    ModuleConfig changing = module(ModuleKind::Web, true);
    changing.newKeyOnDefault = true;
    start({changing}, 50);
    const std::string shared = shownKey(server->httpsPort());
    ASSERT_FALSE(shared.empty());
    first()->restart(Clock::now(), RestartChanges{});  // a reboot keeps the key
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(shownKey(server->httpsPort()), shared);
    RestartChanges defaults;
    defaults.factoryDefault = true;
    first()->restart(Clock::now(), defaults);
    std::this_thread::sleep_for(100ms);
    const std::string own = shownKey(server->httpsPort());
    EXPECT_FALSE(own.empty());
    EXPECT_NE(own, shared);
    EXPECT_EQ(shownKey(server->httpsPort()), own);  // kept until the next default
    EXPECT_EQ(first()->keyGeneration(), 1u);
}

TEST_F(WebServerTest, SettingsPageNeedsTheModulesLogin)
{
    start({module(ModuleKind::Web, true)});
    auto ok = https()->Get("/Eng/Hidden.htm");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->status, 200);
    EXPECT_NE(ok->body.find("var va_IpAddr = '127.0.0.1';"), std::string::npos);
    EXPECT_NE(ok->body.find("var va_machname = 'Door 1';"), std::string::npos);

    std::vector<std::unique_ptr<httplib::SSLClient>> clients;
    clients.push_back(https("admin", "wrong"));
    clients.push_back(https("Admin", "admin"));
    clients.push_back(https(nullptr));
    for (const auto& client : clients) {
        auto refused = client->Get("/Eng/Hidden.htm");
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 401);
        EXPECT_NE(refused->body.find("401 Unauthorized"), std::string::npos);
        EXPECT_EQ(refused->get_header_value("WWW-Authenticate"), "Basic realm=\"Module\"");
    }
    auto other = https()->Get("/Eng/Other.htm");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->status, 200);
    EXPECT_EQ(other->body.find("401 Unauthorized"), std::string::npos);
}

TEST_F(WebServerTest, OtherSchemeAndSilentModulesGetNoAnswer)
{
    start({module(ModuleKind::Web, true)});
    EXPECT_FALSE(http()->Get("/Eng/Other.htm")); // the module speaks HTTPS only
    ASSERT_TRUE(https()->Get("/Eng/Other.htm"));
    first()->restart(Clock::now(), {});
    EXPECT_FALSE(https()->Get("/Eng/Other.htm"));
    std::this_thread::sleep_for(250ms);
    EXPECT_TRUE(https()->Get("/Eng/Other.htm"));
}

// Whether the server ends a connection to `port` before the client sends a byte: true when it is
// closed at once, false when the server waits for the request (or the TLS handshake).
bool closedUnasked(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(kLoopback);
    bool closed = false;
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
        pollfd entry{fd, POLLIN, 0};
        char byte;
        closed = poll(&entry, 1, 300) == 1 && recv(fd, &byte, 1, 0) <= 0;
    }
    close(fd);
    return closed;
}

TEST_F(WebServerTest, ConnectionsNobodyAnswersEndBeforeAnyByteOrHandshake)
{
    start({module(ModuleKind::Web, true)});
    EXPECT_TRUE(closedUnasked(server->httpPort()));
    EXPECT_FALSE(closedUnasked(server->httpsPort()));
    first()->restart(Clock::now(), {});
    EXPECT_TRUE(closedUnasked(server->httpsPort()));
}

TEST_F(WebServerTest, UnknownPagesAreNotFoundAndReadersServeOnlyTheirLogin)
{
    start({module(ModuleKind::Web, false), module(ModuleKind::BinaryDactyl, true)});
    auto missing = http()->Get("/Eng/Nothing.htm");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    EXPECT_NE(missing->body.find("404 Not Found"), std::string::npos);
    auto noLogin = http()->Get("/login.cgi?user=admin&pswd=");
    ASSERT_TRUE(noLogin);
    EXPECT_NE(noLogin->body.find("404 Not Found"), std::string::npos);
    // The reader here speaks HTTPS: its settings page does not exist.
    auto readerPage = https()->Get("/Eng/Hidden.htm");
    ASSERT_TRUE(readerPage);
    EXPECT_NE(readerPage->body.find("404 Not Found"), std::string::npos);
}

TEST_F(WebServerTest, ReaderLoginChecksTheChain)
{
    ModuleConfig reader = module(ModuleKind::BinaryDactyl, false);
    reader.web.user = "front desk";
    reader.web.password = "s3cret";
    start({reader});
    const auto login = [&](const std::string& query) {
        auto answer = http(nullptr)->Get(("/login.cgi?" + query).c_str());
        EXPECT_TRUE(answer);
        return answer ? answer->body : std::string("(no answer)");
    };
    EXPECT_EQ(login("user=front%20desk&pswd=" + chain(0x5a, "s3cret")).find("Login Fail"), std::string::npos);
    EXPECT_NE(login("user=front%20desk&pswd=" + chain(0x5a, "s3creT")).find("Login Fail"), std::string::npos);
    EXPECT_NE(login("user=front&pswd=" + chain(0x5a, "s3cret")).find("Login Fail"), std::string::npos);
    EXPECT_NE(login("user=front%20desk&pswd=").find("Login Fail"), std::string::npos);
    EXPECT_NE(login("pswd=-00").find("Login Fail"), std::string::npos);
}

TEST_F(WebServerTest, ReaderWithEmptyPasswordTakesAnEmptyChain)
{
    ModuleConfig reader = module(ModuleKind::BinaryDactyl, false);
    reader.web.password = "";
    start({reader});
    auto answer = http(nullptr)->Get("/login.cgi?user=admin&pswd=");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->body.find("Login Fail"), std::string::npos);
}

TEST_F(WebServerTest, RefusalAndDropSwitches)
{
    ModuleConfig faulty = module(ModuleKind::Web, false);
    faulty.faults.refuse[static_cast<std::size_t>(WebPage::Hidden)] = Refusal::NotFound;
    faulty.faults.refuse[static_cast<std::size_t>(WebPage::Upload)] = Refusal::Unauthorized;
    faulty.faults.dropConnection[static_cast<std::size_t>(WebPage::Other)] = true;
    start({faulty});
    auto hidden = http()->Get("/Eng/Hidden.htm");
    ASSERT_TRUE(hidden);
    EXPECT_NE(hidden->body.find("404 Not Found"), std::string::npos);
    EXPECT_EQ(hidden->body.find("va_IpAddr"), std::string::npos);
    EXPECT_FALSE(http()->Get("/Eng/Other.htm"));

    // A refused upload reads the body and answers, and nothing is written.
    auto upload = http()->Post("/ETHUpload.cgi", kUploadHeaders, uploadBody(std::string(300000, 'x')), "");
    ASSERT_TRUE(upload);
    EXPECT_NE(upload->body.find("401 Unauthorized"), std::string::npos);
    EXPECT_EQ(first()->firmwareProgress(Clock::now()).total, 0);
}

TEST_F(WebServerTest, DelayedAnswers)
{
    ModuleConfig slow = module(ModuleKind::Web, false);
    slow.faults.httpDelayMs = 300;
    start({slow});
    const auto t0 = Clock::now();
    auto answer = http()->Get("/Eng/Other.htm");
    ASSERT_TRUE(answer);
    EXPECT_GE(Clock::now() - t0, 300ms);
}

TEST_F(WebServerTest, OversizedSettingsPage)
{
    ModuleConfig big = module(ModuleKind::Web, false);
    big.faults.oversizedBody = true;
    start({big});
    auto answer = http()->Get("/Eng/Hidden.htm");
    ASSERT_TRUE(answer);
    EXPECT_GT(answer->body.size(), 16u * 1024 * 1024);
    EXPECT_NE(answer->body.find("var va_IpAddr = '127.0.0.1';"), std::string::npos);
}

TEST_F(WebServerTest, ConfigurationFormRestartsAfterTheAnswer)
{
    start({module(ModuleKind::Web, true)});
    EXPECT_TRUE(inbox.take().empty());
    auto answer = https()->Post("/ConfigHidden",
                               "Reboot=0&Default=0&MachName=Hall%20east&IpAddress=127.0.0.9&DevicePort=5000"
                               "&LoginChange=1&LoginName=op&AdminPasswd=pw&Submit=Submit\r\n",
                               "");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    auto posted = restarts();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].module, first());
    ASSERT_TRUE(posted[0].changes.network);
    EXPECT_EQ(posted[0].changes.network->name, "Hall east");
    EXPECT_EQ(posted[0].changes.network->ip, 0x7F000009u);
    ASSERT_TRUE(posted[0].changes.web);
    EXPECT_EQ(posted[0].changes.web->devicePort, 5000u);
    EXPECT_EQ(posted[0].changes.web->user, "op");
    // Nothing changes before the event loop carries out the restart.
    EXPECT_EQ(first()->ip(), kLoopback);

    answer = https()->Post("/ConfigHidden", "Reboot=1&Default=0&Submit=Submit\r\n", "");
    ASSERT_TRUE(answer);
    posted = restarts();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_FALSE(posted[0].changes.network);
    EXPECT_FALSE(posted[0].changes.factoryDefault);

    auto refused = https("admin", "x")->Post("/ConfigHidden", "Reboot=1&Default=0&Submit=Submit\r\n", "");
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->body.find("401 Unauthorized"), std::string::npos);
    EXPECT_TRUE(restarts(200ms).empty());
}

TEST_F(WebServerTest, UploadProgressAndReboot)
{
    start({module(ModuleKind::WebDactyl, true)});
    auto progress = [&] {
        auto answer = https()->Post("/Eng/FMUpProcess.htm", "", "");
        EXPECT_TRUE(answer);
        return answer ? answer->body : std::string();
    };
    EXPECT_NE(progress().find("var va_Total = 0;"), std::string::npos); // nothing uploaded yet

    const std::string file = "SIMFW version=V3.11R0\n" + std::string(100 * 1024 - 22, '\xA5');
    auto upload = https()->Post("/ETHUpload.cgi", kUploadHeaders, uploadBody(file), "");
    ASSERT_TRUE(upload);
    EXPECT_EQ(upload->status, 200);
    EXPECT_NE(progress().find("var va_Total = 100;"), std::string::npos);
    std::this_thread::sleep_for(450ms);
    EXPECT_NE(progress().find("var va_Finish = 100;"), std::string::npos);

    auto reboot = https()->Post("/ConfigReboot", "RedirectUrl=https\r\n", "");
    ASSERT_TRUE(reboot);
    auto posted = restarts();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].changes.version, "V3.11R0");
}

TEST_F(WebServerTest, MalformedUploadsAreNotWritten)
{
    start({module(ModuleKind::Web, false)});
    const std::string body = uploadBody("firmware");
    for (const auto& [headers, content] :
         std::vector<std::pair<httplib::Headers, std::string>>{
             {kUploadHeaders, body.substr(0, body.size() - 8)},
             {{{"Content-Type", "multipart/form-data; boundary=Other"}}, body},
             {{{"Content-Type", "application/octet-stream"}}, body},
             {kUploadHeaders, uploadBody("")}}) {
        auto answer = http()->Post("/ETHUpload.cgi", headers, content, "");
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, 400);
        EXPECT_EQ(first()->firmwareProgress(Clock::now()).total, 0);
    }
}

TEST_F(WebServerTest, ProgressFaults)
{
    ModuleConfig faulty = module(ModuleKind::Web, false);
    faulty.faults.noTotal = true;
    faulty.faults.stallProgress = true;
    start({faulty});
    first()->firmwareReceived(Clock::now() - 1h, 4096, std::nullopt);
    auto answer = http()->Post("/Eng/FMUpProcess.htm", "", "");
    ASSERT_TRUE(answer);
    EXPECT_NE(answer->body.find("var va_Finish = 0;"), std::string::npos);
    EXPECT_EQ(answer->body.find("va_Total"), std::string::npos);
}

TEST_F(WebServerTest, BusySettingsPageAndAnUpdateThatKeepsTheOldVersion)
{
    ModuleConfig faulty = module(ModuleKind::Web, true);
    faulty.faults.busySettingsPage = true;
    faulty.faults.keepVersion = true;
    start({faulty});
    auto page = https()->Get("/Eng/Hidden.htm");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 503);
    EXPECT_NE(page->body.find("var va_IpAddr = '"), std::string::npos);
    EXPECT_EQ(page->body.find("va_NetMask"), std::string::npos);

    const std::string file = "SIMFW version=V9.9.9-9\n" + std::string(4096, 'x');
    auto upload = https()->Post("/ETHUpload.cgi", kUploadHeaders, uploadBody(file), "");
    ASSERT_TRUE(upload);
    EXPECT_EQ(upload->status, 200);
    ASSERT_TRUE(https()->Post("/ConfigReboot", "RedirectUrl=https\r\n", ""));
    auto posted = restarts();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_FALSE(posted[0].changes.version);
}

TEST_F(WebServerTest, ManyParallelClients)
{
    start({module(ModuleKind::Web, true)});
    std::vector<std::thread> clients;
    std::atomic<int> answered{0};
    for (int i = 0; i < 32; ++i)
        clients.emplace_back([&] {
            for (int k = 0; k < 3; ++k) {
                auto answer = https()->Get("/Eng/Hidden.htm");
                if (answer && answer->status == 200) ++answered;
            }
        });
    for (auto& client : clients) client.join();
    EXPECT_EQ(answered.load(), 96);
}

TEST(WebConnection, ModulesOnOneAddressAreToldApartByTheMacTheClientSentTo)
{
    ModuleConfig a = module(ModuleKind::Web, true);
    ModuleConfig b = a;
    b.mac = {0x02, 0, 0, 0, 0x01, 0x02};
    ModuleConfig plain = a;
    plain.mac = {0x02, 0, 0, 0, 0x01, 0x03};
    plain.useHttps = false;
    SimConfig config;
    config.modules = {a, b, plain};
    ModuleTable table;
    table.load(config);
    const auto generation = table.current();
    const auto now = Clock::now();
    EXPECT_EQ(moduleForConnection(*generation, kLoopback, b.mac, WebScheme::Https, now), generation->all[1]);
    EXPECT_EQ(moduleForConnection(*generation, kLoopback, a.mac, WebScheme::Https, now), generation->all[0]);
    EXPECT_EQ(moduleForConnection(*generation, kLoopback, std::nullopt, WebScheme::Https, now), generation->all[0]);
    // A frame to a module that does not serve that scheme or address reaches nobody else.
    EXPECT_EQ(moduleForConnection(*generation, kLoopback, plain.mac, WebScheme::Https, now), nullptr);
    EXPECT_EQ(moduleForConnection(*generation, kLoopback + 1, b.mac, WebScheme::Https, now), nullptr);

    // The SYN as the kernel keeps it: Ethernet header, then IPv4; loopback's MACs are all zero.
    std::vector<std::uint8_t> syn(14 + 40, 0);
    std::copy(b.mac.begin(), b.mac.end(), syn.begin());
    syn[12] = 0x08;
    syn[14] = 0x45;
    EXPECT_EQ(destinationOfSyn(syn), b.mac);
    EXPECT_EQ(destinationOfSyn(std::span(syn).subspan(14)), std::nullopt);  // no link header kept
    std::fill_n(syn.begin(), 6, 0);
    EXPECT_EQ(destinationOfSyn(syn), std::nullopt);
}

TEST(TlsIdentity, AKeyFileKeepsTheKeyAcrossStarts)
{
    char folder[] = "/tmp/tw-sim-key.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string file = std::string(folder) + "/key.pem";
    const auto publicKey = [](const TlsIdentity& identity) {
        unsigned char* der = nullptr;
        const int n = i2d_PUBKEY(identity.key(), &der);
        std::string out(reinterpret_cast<char*>(der), static_cast<std::size_t>(n));
        OPENSSL_free(der);
        return out;
    };
    const std::string first = publicKey(TlsIdentity::withKeyFile("sim", file));
    EXPECT_EQ(publicKey(TlsIdentity::withKeyFile("sim", file)), first);
    EXPECT_NE(publicKey(TlsIdentity::generate("sim")), first);
    struct stat info{};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    unlink(file.c_str());
    rmdir(folder);
}
