#include "web_server.h"

#include "basic_auth.h"
#include "config_form.h"
#include "firmware_upload.h"
#include "form_parser.h"
#include "multipart_reader.h"
#include "password_chain.h"
#include "web_pages.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <chrono>
#include <iostream>
#include <thread>

#include "platform/ipv4_address.h"

namespace tarrowind::sim {

namespace {

// The library would parse form and multipart bodies itself; the original type is kept under this
// name so the pages read the raw bytes with the simulator's own parsers.
constexpr const char* kRawContentType = "X-Sim-Content-Type";
constexpr const char* kHtml = "text/html";
// Above the 16 MiB that clients read at most.
constexpr std::size_t kOversizedBytes = 20u * 1024 * 1024;
// The largest body any page takes: a 16 MiB image with room for its form.
constexpr std::size_t kMaxPayload = 17u * 1024 * 1024;
// Connections waiting to be accepted: many clients may start at the same moment.
constexpr int kListenBacklog = 256;

const char* schemeName(WebScheme scheme)
{
    return scheme == WebScheme::Https ? "https" : "http";
}

bool serves(ModuleKind kind, WebPage page)
{
    return (kind == ModuleKind::BinaryDactyl) == (page == WebPage::Login);
}

} // namespace

// One request to one module: finds the module, applies the delay, drop and login in that order,
// and answers.
class WebServer::Exchange {
public:
    Exchange(WebServer& server, WebScheme scheme, WebPage page, const httplib::Request& request,
             httplib::Response& response)
        : m_server(server), m_scheme(scheme), m_page(page), m_request(request), m_response(response)
    {
    }

    ~Exchange()
    {
        if (m_server.m_options.verbose && m_module)
            m_server.log("web " + std::string(schemeName(m_scheme)) + " " + m_request.local_addr + " " +
                         m_request.method + " " + m_request.path + " -> " +
                         (m_dropped ? std::string("dropped") : std::to_string(m_response.status)) + m_note);
    }

    // The module to answer for, or nothing when the request was dropped or refused.
    ModulePtr begin(bool authenticate = true)
    {
        const auto local = parseIpv4(m_request.local_addr);
        m_module = local ? m_server.find(*local, currentDestination(), m_scheme, Clock::now()) : nullptr;
        if (!m_module) {
            dropCurrentConnection();
            return nullptr;
        }
        if (!serves(m_module->kind(), m_page)) {
            answer(404, refusalPage(Refusal::NotFound));
            return nullptr;
        }
        const FaultConfig& faults = m_module->faults();
        if (faults.httpDelayMs && !m_server.wait(std::chrono::milliseconds(faults.httpDelayMs))) {
            drop();
            return nullptr;
        }
        if (faults.drops(m_page)) {
            drop();
            return nullptr;
        }
        if (authenticate && !loggedIn()) {
            m_response.set_header("WWW-Authenticate", "Basic realm=\"Module\"");
            answer(401, refusalPage(Refusal::Unauthorized));
            return nullptr;
        }
        if (const Refusal refusal = faults.refusal(m_page); refusal != Refusal::None) {
            answer(refusalStatus(refusal), refusalPage(refusal));
            m_note = " (refused)";
            return nullptr;
        }
        return m_module;
    }

    void answer(int status, std::string page)
    {
        m_response.status = status;
        m_response.set_content(std::move(page), kHtml);
    }

    // The restart begins once the answer has been written (or could not be).
    void answerThenRestart(std::string page, RestartChanges changes)
    {
        auto shared = std::make_shared<std::string>(std::move(page));
        RestartInbox& inbox = m_server.m_restarts;
        ModulePtr module = m_module;
        m_response.status = 200;
        m_response.set_content_provider(
            shared->size(), kHtml,
            [shared](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                return sink.write(shared->data() + offset, length);
            },
            [&inbox, module, changes = std::move(changes)](bool) mutable {
                inbox.post(StartRestart{module, std::move(changes)});
            });
        m_note = " (restarts)";
    }

    void note(std::string text) { m_note = std::move(text); }
    const httplib::Request& request() const { return m_request; }
    httplib::Response& response() { return m_response; }

private:
    bool loggedIn() const
    {
        const auto credentials = parseBasicAuthorization(m_request.get_header_value("Authorization"));
        return credentials && m_module->credentialsMatch(credentials->user, credentials->password);
    }

    void drop()
    {
        dropCurrentConnection();
        m_dropped = true;
    }

    WebServer& m_server;
    WebScheme m_scheme;
    WebPage m_page;
    const httplib::Request& m_request;
    httplib::Response& m_response;
    ModulePtr m_module;
    bool m_dropped = false;
    std::string m_note;
};

WebServer::WebServer(const ModuleTable& modules, RestartInbox& restarts, WebServerOptions options)
    : m_modules(modules), m_restarts(restarts), m_options(std::move(options)),
      m_identity(m_options.tlsKeyFile.empty() ? TlsIdentity::generate("tarrowind-sim")
                                              : TlsIdentity::withKeyFile("tarrowind-sim", m_options.tlsKeyFile))
{
    const auto filter = [this](WebScheme scheme) {
        return [this, scheme](Ipv4Address local, const std::optional<MacAddress>& destination) {
            return find(local, destination, scheme, Clock::now()) != nullptr;
        };
    };
    m_http = std::make_unique<FilteredHttpServer>(filter(WebScheme::Http));
    m_https = std::make_unique<FilteredHttpsServer>(m_identity.certificate(), m_identity.key(), filter(WebScheme::Https));
    if (!m_https->is_valid()) throw WebError("the HTTPS server did not take the certificate");
    SSL_CTX_set_cert_cb(m_https->ssl_context(), chooseCertificate, this);
    route(*m_http, WebScheme::Http);
    route(*m_https, WebScheme::Https);
}

WebServer::~WebServer()
{
    stop();
}

int WebServer::chooseCertificate(SSL* ssl, void* server)
{
    auto* self = static_cast<WebServer*>(server);
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (getsockname(SSL_get_fd(ssl), reinterpret_cast<sockaddr*>(&local), &length) != 0 || local.sin_family != AF_INET)
        return 1;
    const ModulePtr module =
        self->find(NetworkToHostOrder(local.sin_addr.s_addr), std::nullopt, WebScheme::Https, Clock::now());
    const unsigned generation = module ? module->keyGeneration() : 0;
    if (generation == 0) return 1;
    const TlsIdentity& identity = self->identityOf(*module, generation);
    return SSL_use_certificate(ssl, identity.certificate()) == 1 && SSL_use_PrivateKey(ssl, identity.key()) == 1 ? 1 : 0;
}

const TlsIdentity& WebServer::identityOf(const ModuleState& module, unsigned generation)
{
    std::lock_guard hold(m_identitiesLock);
    const auto key = std::make_pair(module.mac(), generation);
    auto it = m_identities.find(key);
    if (it == m_identities.end()) it = m_identities.emplace(key, TlsIdentity::generate("tarrowind-sim module")).first;
    return it->second;
}

ModulePtr moduleForConnection(const ModuleGeneration& generation, Ipv4Address local,
                              const std::optional<MacAddress>& destination, WebScheme scheme, Clock::time_point now)
{
    for (const auto& module : generation.all)
        if (module->scheme() == scheme && module->ip() == local && (!destination || module->mac() == *destination) &&
            module->answering(now))
            return module;
    return nullptr;
}

ModulePtr WebServer::find(Ipv4Address local, const std::optional<MacAddress>& destination, WebScheme scheme,
                          Clock::time_point now) const
{
    return moduleForConnection(*m_modules.current(), local, destination, scheme, now);
}

bool WebServer::wait(std::chrono::milliseconds delay)
{
    std::unique_lock lock(m_stopLock);
    return !m_stopSignal.wait_for(lock, delay, [this] { return m_stopping; });
}

void WebServer::log(const std::string& line)
{
    std::lock_guard guard(m_logLock);
    std::cerr << line << '\n';
}

void WebServer::route(httplib::Server& server, WebScheme scheme)
{
    const int threads = m_options.threads;
    server.set_socket_options(keepSynHeaders);
    server.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<std::size_t>(threads)); };
    // Module servers answer one request per connection, as the clients use them.
    server.set_keep_alive_max_count(1);
    server.set_payload_max_length(kMaxPayload);
    server.set_pre_routing_handler([](const httplib::Request& request, httplib::Response&) {
        // routing() hands its own non-const request here; renaming the header keeps the body raw.
        auto& raw = const_cast<httplib::Request&>(request);
        const auto type = raw.headers.find("Content-Type");
        if (type != raw.headers.end()) {
            std::string value = type->second;
            raw.headers.erase(type);
            raw.headers.emplace(kRawContentType, std::move(value));
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    server.Get("/Eng/Other.htm", [this, scheme](const httplib::Request& request, httplib::Response& response) {
        Exchange exchange(*this, scheme, WebPage::Other, request, response);
        if (exchange.begin()) exchange.answer(200, acceptedPage("Other settings"));
    });

    server.Get("/Eng/Hidden.htm", [this, scheme](const httplib::Request& request, httplib::Response& response) {
        Exchange exchange(*this, scheme, WebPage::Hidden, request, response);
        const ModulePtr module = exchange.begin();
        if (!module) return;
        if (module->faults().busySettingsPage) {
            exchange.answer(503, busySettingsPage(module->snapshot()));
            exchange.note(" (busy)");
            return;
        }
        auto page = std::make_shared<std::string>(settingsPage(module->snapshot()));
        if (!module->faults().oversizedBody) {
            exchange.answer(200, std::move(*page));
            return;
        }
        // Made as it is sent, so the simulator never holds the oversized body.
        const std::size_t total = std::max(kOversizedBytes, page->size());
        response.status = 200;
        response.set_content_provider(total, kHtml, [page](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            static const std::string filler(64 * 1024, ' ');
            if (offset < page->size()) return sink.write(page->data() + offset, std::min(length, page->size() - offset));
            return sink.write(filler.data(), std::min(length, filler.size()));
        });
    });

    server.Post("/ConfigHidden", [this, scheme](const httplib::Request& request, httplib::Response& response) {
        Exchange exchange(*this, scheme, WebPage::Config, request, response);
        const ModulePtr module = exchange.begin();
        if (!module) return;
        const auto form = parseForm(request.body);
        if (!form) {
            exchange.answer(413, acceptedPage("Form too large"));
            return;
        }
        FormOutcome outcome = applyConfigForm(*form, module->snapshot());
        std::string note;
        for (const auto& name : outcome.ignored) note += (note.empty() ? " (unreadable: " : ", ") + name;
        if (!note.empty()) note += ")";
        const char* what = outcome.action == FormAction::Reboot           ? "Rebooting"
                           : outcome.action == FormAction::FactoryDefault ? "Restoring factory defaults"
                                                                          : "Settings saved";
        exchange.answerThenRestart(acceptedPage(what), std::move(outcome.changes));
        if (!note.empty()) exchange.note(" (restarts)" + note);
    });

    server.Post("/ETHUpload.cgi", [this, scheme](const httplib::Request& request, httplib::Response& response,
                                                 const httplib::ContentReader& reader) {
        Exchange exchange(*this, scheme, WebPage::Upload, request, response);
        const ModulePtr module = exchange.begin();
        if (!module) {
            // Read what was sent, so a refused client gets its page rather than a reset.
            if (response.status > 0) reader([](const char*, std::size_t) { return true; });
            return;
        }
        const auto boundary = boundaryFromContentType(request.get_header_value(kRawContentType));
        FirmwareUploadReader upload(boundary.value_or("-"));
        reader([&upload](const char* data, std::size_t length) {
            upload.feed(std::string_view(data, length));
            return true; // keep reading a malformed body to its end
        });
        const FirmwareUpload result = upload.finish();
        if (!boundary || !result.complete || result.size == 0) {
            exchange.answer(400, acceptedPage("Upload failed"));
            exchange.note(boundary ? " (" + (upload.error().empty() ? std::string("no file") : upload.error()) + ")"
                                   : " (no multipart boundary)");
            return;
        }
        module->firmwareReceived(Clock::now(), result.size, result.version);
        exchange.answer(200, acceptedPage("Upload complete"));
        exchange.note(" (" + std::to_string(result.size) + " bytes" +
                      (result.version ? ", version " + *result.version : std::string()) + ")");
    });

    server.Post("/Eng/FMUpProcess.htm", [this, scheme](const httplib::Request& request, httplib::Response& response) {
        Exchange exchange(*this, scheme, WebPage::Progress, request, response);
        const ModulePtr module = exchange.begin();
        if (!module) return;
        const FirmwareProgress progress = module->firmwareProgress(Clock::now());
        exchange.answer(200, progressPage(progress, !module->faults().noTotal));
        exchange.note(" (" + std::to_string(progress.finish) + "/" + std::to_string(progress.total) + ")");
    });

    server.Post("/ConfigReboot", [this, scheme](const httplib::Request& request, httplib::Response& response) {
        Exchange exchange(*this, scheme, WebPage::Reboot, request, response);
        const ModulePtr module = exchange.begin();
        if (!module) return;
        RestartChanges changes;
        if (!module->faults().keepVersion) changes.version = module->uploadedVersion();
        exchange.answerThenRestart(acceptedPage("Rebooting"), std::move(changes));
    });

    server.Get("/login.cgi", [this, scheme](const httplib::Request& request, httplib::Response& response) {
        Exchange exchange(*this, scheme, WebPage::Login, request, response);
        const ModulePtr module = exchange.begin(false);
        if (!module) return;
        const auto query = parseLoginQuery(request.target);
        const ModuleConfig now = module->snapshot();
        if (query && query->user == now.web.user && chainMatchesPassword(query->password, now.web.password)) {
            exchange.answer(200, acceptedPage("Login OK"));
        } else {
            exchange.answer(200, refusalPage(Refusal::LoginFail));
            exchange.note(query ? " (wrong login)" : " (unreadable query)");
        }
    });

    // Anything else: not found from a module, nothing at all where no module answers.
    server.set_error_handler([this, scheme](const httplib::Request& request, httplib::Response& response) {
        const auto local = parseIpv4(request.local_addr);
        if (!local || !find(*local, currentDestination(), scheme, Clock::now())) {
            dropCurrentConnection();
            return;
        }
        if (response.body.empty()) response.set_content(refusalPage(Refusal::NotFound), kHtml);
    });
}

void WebServer::start()
{
    m_httpPort = m_options.httpPort;
    m_httpsPort = m_options.httpsPort;
    const auto bind = [this](auto& server, int& port, const char* what) {
        const int wanted = port;
        if (port == 0) port = server.bind_to_any_port(m_options.address);
        else if (!server.bind_to_port(m_options.address, port)) port = -1;
        if (port <= 0 || !server.widenBacklog(kListenBacklog))
            throw WebError(std::string("cannot listen for ") + what + " on " + m_options.address + ":" +
                           std::to_string(wanted));
    };
    bind(*m_http, m_httpPort, "HTTP");
    bind(*m_https, m_httpsPort, "HTTPS");
    m_httpThread = std::thread([this] { m_http->listen_after_bind(); });
    m_httpsThread = std::thread([this] { m_https->listen_after_bind(); });
    // A stop before a server runs its accept loop would leave that loop waiting for ever: the server's
    // stop only shuts a socket it knows to be running. So start returns once both run.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((!m_http->is_running() || !m_https->is_running()) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void WebServer::stop()
{
    {
        std::lock_guard guard(m_stopLock);
        m_stopping = true;
    }
    m_stopSignal.notify_all();
    m_http->stop();
    m_https->stop();
    if (m_httpThread.joinable()) m_httpThread.join();
    if (m_httpsThread.joinable()) m_httpsThread.join();
}

} // namespace tarrowind::sim
