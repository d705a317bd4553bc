#pragma once

#include "module_state.h"
#include "restart_inbox.h"
#include "tls_identity.h"
#include "web_listener.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

namespace tarrowind::sim {

class WebError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct WebServerOptions {
    std::string address = "0.0.0.0";
    int httpPort = 80;   // 0: any free port (tests)
    int httpsPort = 443;
    int threads = 48;    // per server; every parallel client holds one while it is served
    bool verbose = false;
    std::string tlsKeyFile;  // the HTTPS key kept there across starts; empty: a new key each start
};

// The module that answers a connection to `local` sent to `destination`: of the modules answering on
// that address with that scheme, the one with that MAC; any of them when the MAC is unknown.
ModulePtr moduleForConnection(const ModuleGeneration& generation, Ipv4Address local,
                              const std::optional<MacAddress>& destination, WebScheme scheme, Clock::time_point now);

// One HTTP and one HTTPS server for every module: each request goes to the module whose current
// address the client connected to (of several on one address, the one whose MAC it sent to), if that
// module speaks the scheme and is answering. Pages,
// logins and fault switches follow the module's state; restarts go to the event loop's inbox,
// posted only once the answer has been written.
class WebServer {
public:
    WebServer(const ModuleTable& modules, RestartInbox& restarts, WebServerOptions options);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds both ports and starts serving; throws WebError when a port cannot be bound.
    void start();
    void stop();
    int httpPort() const { return m_httpPort; }
    int httpsPort() const { return m_httpsPort; }

private:
    class Exchange;
    void route(httplib::Server& server, WebScheme scheme);
    ModulePtr find(Ipv4Address local, const std::optional<MacAddress>& destination, WebScheme scheme,
                   Clock::time_point now) const;
    // Before each handshake: a module with a key of its own shows its own certificate.
    static int chooseCertificate(SSL* ssl, void* server);
    const TlsIdentity& identityOf(const ModuleState& module, unsigned generation);
    bool wait(std::chrono::milliseconds delay);
    void log(const std::string& line);

    const ModuleTable& m_modules;
    RestartInbox& m_restarts;
    const WebServerOptions m_options;
    TlsIdentity m_identity;
    std::mutex m_identitiesLock;
    std::map<std::pair<MacAddress, unsigned>, TlsIdentity> m_identities;  // keys modules made themselves
    std::unique_ptr<FilteredHttpServer> m_http;
    std::unique_ptr<FilteredHttpsServer> m_https;
    std::thread m_httpThread;
    std::thread m_httpsThread;
    int m_httpPort = 0;
    int m_httpsPort = 0;

    std::mutex m_stopLock;
    std::condition_variable m_stopSignal;
    bool m_stopping = false;
    std::mutex m_logLock;
};

} // namespace tarrowind::sim
