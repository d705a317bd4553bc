#include "sim_server.h"

#include <algorithm>
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

SimServer::SimServer(ServerOptions options, const SimConfig& config) : m_options(std::move(options))
{
    m_modules.load(config);
}

SimServer::~SimServer()
{
    if (m_signalFd >= 0) close(m_signalFd);
}

void SimServer::perform(ScheduledAction::Action& action)
{
    if (auto* send = std::get_if<SendFrame>(&action)) {
        const auto link = m_links.find(send->link);
        if (link != m_links.end()) link->second->send(std::move(send->frame));
    } else if (auto* restart = std::get_if<StartRestart>(&action)) {
        restart->module->restart(Clock::now(), restart->changes);
        if (m_options.verbose)
            std::cerr << "module " << formatMac(restart->module->mac()) << " restarts\n";
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

    out << "ready " << m_modules.size() << std::endl;

    std::vector<pollfd> fds;
    std::vector<PacketLink*> order;
    for (auto& [name, link] : m_links) order.push_back(link.get());
    for (;;) {
        Clock::time_point now = Clock::now();
        fds.assign(1, pollfd{m_signalFd, POLLIN, 0});
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

        for (std::size_t i = 0; i < order.size(); ++i) {
            const short revents = fds[i + 1].revents;
            if (revents & (POLLIN | POLLERR)) serveLink(*order[i], now);
        }
        m_timers.runDue(Clock::now());
        for (std::size_t i = 0; i < order.size(); ++i) {
            PacketLink& link = *order[i];
            if (!link.hasPending()) continue;
            if (link.waitingForRoom() ? (fds[i + 1].revents & POLLOUT) != 0 : now >= m_retryAt) link.flush();
            if (link.hasPending() && !link.waitingForRoom()) m_retryAt = Clock::now() + kRetryPause;
        }
    }
}

} // namespace tarrowind::sim
