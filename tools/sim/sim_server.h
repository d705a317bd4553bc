#pragma once

#include "module_interfaces.h"
#include "module_state.h"
#include "packet_link.h"
#include "restart_inbox.h"
#include "sim_config.h"
#include "timer_queue.h"
#include "udp_responder.h"
#include "web_server.h"

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace tarrowind::sim {

struct ServerOptions {
    std::string configPath;
    std::vector<std::string> links; // every link to open, in order
    std::string defaultLink;        // for modules that name no link; empty: none
    bool verbose = false;
    int threads = 48; // per web server
    std::string tlsKeyFile;
};

// The single-threaded event loop: link sockets, signals and the timer queue.
class SimServer {
public:
    SimServer(ServerOptions options, const SimConfig& config);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    ModuleTable& modules() { return m_modules; }

    // Opens the links and the signal descriptor, makes the modules' interfaces, starts the web
    // servers, prints the ready line, and serves until SIGTERM or SIGINT. Returns the process exit
    // code. Throws LinkError, InterfaceError or WebError when a part cannot start.
    int run(std::ostream& out);

private:
    void serveLink(PacketLink& link, Clock::time_point now);
    void schedule(ScheduledAction action, Clock::time_point now);
    void perform(ScheduledAction::Action& action);
    void restart(const ModulePtr& module, const RestartChanges& changes);
    void openPortSinks();
    void drain(int fd);
    void reload(std::ostream& out);
    bool handleSignals(std::ostream& out); // false: stop

    ServerOptions m_options;
    ModuleTable m_modules;
    UdpResponder m_responder{m_modules};
    std::map<std::string, std::unique_ptr<PacketLink>, std::less<>> m_links;
    TimerQueue m_timers;
    RestartInbox m_inbox;
    ModuleInterfaces m_interfaces;
    std::unique_ptr<WebServer> m_web; // after the inbox and the table it uses
    std::vector<int> m_portSinks;
    int m_signalFd = -1;
    Clock::time_point m_retryAt{};
};

// Checks that every link the config names is among the open ones; throws ConfigError.
void requireLinks(const SimConfig& config, const std::vector<std::string>& links);

} // namespace tarrowind::sim
