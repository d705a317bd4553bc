#include "sim_server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace tarrowind::sim {

namespace {

// Frames taken from one link before the others get a turn.
constexpr int kFramesPerTurn = 256;
// Pause before retrying after the device queue refused a frame.
constexpr std::chrono::milliseconds kRetryPause(1);
// A module asked to restart by a web page goes down this long after its answer was written, so
// the address outlives the answer's last segments.
constexpr std::chrono::milliseconds kAnswerGrace(200);

int pollTimeout(Clock::time_point now, std::optional<Clock::time_point> due)
{
    if (!due) return -1;
    if (*due <= now) return 0;
    // Round up, so the loop does not wake a little early and spin until the job is due.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - now).count();
    return static_cast<int>(std::min<decltype(wait)>(wait, 60000));
}

} // namespace

void requireLinks(const SimConfig& config, const std::vector<std::string>& links)
{
    for (const auto& named : linksNamed(config))
        if (std::find(links.begin(), links.end(), named) == links.end())
            throw ConfigError("link \"" + named + "\" is named by a module but not given with --link");
}

SimServer::SimServer(ServerOptions options, const SimConfig& config)
    : m_options(std::move(options)), m_interfaces(m_options.verbose)
{
    m_modules.load(config);
}

SimServer::~SimServer()
{
    // Web threads first: they post into the inbox and read the modules.
    if (m_web) m_web->stop();
    for (int fd : m_portSinks) close(fd);
    if (m_signalFd >= 0) close(m_signalFd);
}

void SimServer::openPortSinks()
{
    // The UDP side answers in user space, but the kernel sees datagrams to a module's interface
    // too; bound sockets keep it from answering them with port-unreachable messages.
    for (const std::uint16_t port : {kTextProbePort, kBinaryPort}) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) throw LinkError(std::string("cannot open a UDP socket: ") + std::strerror(errno));
        const int one = 1;
        (void)setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(port);
        any.sin_addr.s_addr = htonl(INADDR_ANY);
        if (bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
            const int error = errno;
            close(fd);
            throw LinkError("cannot bind UDP port " + std::to_string(port) + ": " + std::strerror(error));
        }
        m_portSinks.push_back(fd);
    }
}

void SimServer::drain(int fd)
{
    char buffer[2048];
    for (int i = 0; i < kFramesPerTurn && recv(fd, buffer, sizeof buffer, 0) >= 0; ++i) {
    }
}

void SimServer::restart(const ModulePtr& module, const RestartChanges& changes)
{
    const Clock::time_point now = Clock::now();
    module->restart(now, changes);
    try {
        m_interfaces.silence(module);
    } catch (const InterfaceError& error) {
        std::cerr << "tarrowind-sim: " << error.what() << '\n';
    }
    if (m_options.verbose) std::cerr << "module " << formatMac(module->mac()) << " restarts\n";
    if (!module->willReturn()) return;
    m_timers.add(module->silentUntil(), [this, module] {
        try {
            m_interfaces.restore(module, Clock::now());
        } catch (const InterfaceError& error) {
            std::cerr << "tarrowind-sim: " << error.what() << '\n';
        }
        if (m_options.verbose)
            std::cerr << "module " << formatMac(module->mac()) << " back on " << formatIpv4(module->ip()) << '\n';
    });
}

void SimServer::perform(ScheduledAction::Action& action)
{
    if (auto* send = std::get_if<SendFrame>(&action)) {
        const auto link = m_links.find(send->link);
        if (link != m_links.end()) link->second->send(std::move(send->frame));
    } else if (auto* start = std::get_if<StartRestart>(&action)) {
        restart(start->module, start->changes);
    }
}

void SimServer::schedule(ScheduledAction action, Clock::time_point now)
{
    if (action.delay.count() == 0) {
        perform(action.action);
        return;
    }
    auto shared = std::make_shared<ScheduledAction::Action>(std::move(action.action));
    m_timers.add(now + action.delay, [this, shared] { perform(*shared); });
}

void SimServer::serveLink(PacketLink& link, Clock::time_point now)
{
    std::vector<std::uint8_t> frame;
    bool checksumReady = true;
    for (int i = 0; i < kFramesPerTurn && link.receive(frame, checksumReady); ++i) {
        FrameOutcome outcome = m_responder.handleFrame(link.name(), frame, now, checksumReady);
        if (m_options.verbose && outcome.handled) std::cerr << outcome.description << '\n';
        for (auto& action : outcome.actions) schedule(std::move(action), now);
    }
}

void SimServer::reload(std::ostream& out)
{
    try {
        SimConfig config = loadConfig(m_options.configPath, m_options.defaultLink);
        requireLinks(config, m_options.links);
        m_modules.load(config);
        try {
            m_interfaces.build(*m_modules.current());
        } catch (const InterfaceError& error) {
            std::cerr << "tarrowind-sim: reload: " << error.what() << '\n';
        }
        out << "reloaded " << config.modules.size() << std::endl;
    } catch (const ConfigError& error) {
        std::cerr << "tarrowind-sim: reload of " << m_options.configPath << " failed, keeping the modules: "
                  << error.what() << '\n';
        out << "reload failed" << std::endl;
    }
}

bool SimServer::handleSignals(std::ostream& out)
{
    signalfd_siginfo info{};
    while (read(m_signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGHUP) reload(out);
        else if (info.ssi_signo == SIGTERM || info.ssi_signo == SIGINT) return false;
    }
    return true;
}

int SimServer::run(std::ostream& out)
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) {
        std::cerr << "tarrowind-sim: cannot block signals: " << std::strerror(errno) << '\n';
        return 1;
    }
    m_signalFd = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_signalFd < 0) {
        std::cerr << "tarrowind-sim: signalfd: " << std::strerror(errno) << '\n';
        return 1;
    }
    for (const auto& name : m_options.links) m_links.emplace(name, std::make_unique<PacketLink>(name));
    openPortSinks();
    m_interfaces.prepareNamespace();
    m_interfaces.build(*m_modules.current());
    WebServerOptions web;
    web.threads = m_options.threads;
    web.verbose = m_options.verbose;
    web.tlsKeyFile = m_options.tlsKeyFile;
    m_web = std::make_unique<WebServer>(m_modules, m_inbox, web);
    m_web->start();

    out << "ready " << m_modules.size() << std::endl;

    std::vector<pollfd> fds;
    std::vector<PacketLink*> order;
    for (auto& [name, link] : m_links) order.push_back(link.get());
    for (;;) {
        Clock::time_point now = Clock::now();
        fds.assign(1, pollfd{m_signalFd, POLLIN, 0});
        fds.push_back(pollfd{m_inbox.fd(), POLLIN, 0});
        for (int sink : m_portSinks) fds.push_back(pollfd{sink, POLLIN, 0});
        const std::size_t firstLink = fds.size();
        std::optional<Clock::time_point> wake = m_timers.nextDue();
        for (PacketLink* link : order) {
            short events = POLLIN;
            if (link->hasPending()) {
                if (link->waitingForRoom()) events |= POLLOUT;
                else wake = wake ? std::min(*wake, m_retryAt) : m_retryAt;
            }
            fds.push_back(pollfd{link->fd(), events, 0});
        }
        if (poll(fds.data(), fds.size(), pollTimeout(now, wake)) < 0 && errno != EINTR) {
            std::cerr << "tarrowind-sim: poll: " << std::strerror(errno) << '\n';
            return 1;
        }
        now = Clock::now();
        if ((fds[0].revents & POLLIN) && !handleSignals(out)) return 0;
        if (fds[1].revents & POLLIN)
            for (auto& request : m_inbox.take()) {
                auto shared = std::make_shared<StartRestart>(std::move(request));
                m_timers.add(now + kAnswerGrace, [this, shared] { restart(shared->module, shared->changes); });
            }
        for (std::size_t i = 2; i < firstLink; ++i)
            if (fds[i].revents & POLLIN) drain(fds[i].fd);

        for (std::size_t i = 0; i < order.size(); ++i) {
            const short revents = fds[firstLink + i].revents;
            if (revents & (POLLIN | POLLERR)) serveLink(*order[i], now);
        }
        m_timers.runDue(Clock::now());
        for (std::size_t i = 0; i < order.size(); ++i) {
            PacketLink& link = *order[i];
            if (!link.hasPending()) continue;
            if (link.waitingForRoom() ? (fds[firstLink + i].revents & POLLOUT) != 0 : now >= m_retryAt) link.flush();
            if (link.hasPending() && !link.waitingForRoom()) m_retryAt = Clock::now() + kRetryPause;
        }
    }
}

} // namespace tarrowind::sim
