#pragma once

#include "module_state.h"
#include "packet_link.h"
#include "sim_config.h"
#include "timer_queue.h"
#include "udp_responder.h"

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
};

// The single-threaded event loop: link sockets, signals and the timer queue.
class SimServer {
public:
    SimServer(ServerOptions options, const SimConfig& config);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    ModuleTable& modules() { return m_modules; }

    // Opens the links and the signal descriptor, prints the ready line, and serves until SIGTERM or
    // SIGINT. Returns the process exit code. Throws LinkError if a link cannot be opened.
    int run(std::ostream& out);

private:
    void serveLink(PacketLink& link, Clock::time_point now);
    void schedule(ScheduledAction action, Clock::time_point now);
    void perform(ScheduledAction::Action& action);
    void reload(std::ostream& out);
    bool handleSignals(std::ostream& out); // false: stop

    ServerOptions m_options;
    ModuleTable m_modules;
    UdpResponder m_responder{m_modules};
    std::map<std::string, std::unique_ptr<PacketLink>, std::less<>> m_links;
    TimerQueue m_timers;
    int m_signalFd = -1;
    Clock::time_point m_retryAt{};
};

// Checks that every link the config names is among the open ones; throws ConfigError.
void requireLinks(const SimConfig& config, const std::vector<std::string>& links);

} // namespace tarrowind::sim
