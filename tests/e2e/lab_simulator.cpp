#include "tests/e2e/lab_simulator.h"

#include <net/if.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace tarrowind::lab {
namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// The simulator built with this test; a lab started by hand may name another one.
std::string SimulatorBinary()
{
    if (::access(TARROWIND_SIM_BINARY, X_OK) == 0) {
        return TARROWIND_SIM_BINARY;
    }
    return Env("TARROWIND_SIM");
}

}  // namespace

std::string SimNamespace()
{
    return Env("TARROWIND_LAB_SIM_NS");
}

bool InLab()
{
    return !SimNamespace().empty() && ::geteuid() == 0 && AdapterIndex("pc0") != 0;
}

bool HasRouter()
{
    return !Env("TARROWIND_LAB_RT_NS").empty() && AdapterIndex("pc2") != 0;
}

std::uint32_t AdapterIndex(const std::string& name)
{
    return ::if_nametoindex(name.c_str());
}

nlohmann::json Module(const std::string& kind, const std::string& mac, const std::string& ip,
                      const std::string& link)
{
    const bool second = ip.rfind("198.51.100.", 0) == 0;
    const bool routed = link == kRoutedLink;
    nlohmann::json m = {
        {"kind", kind},
        {"model", kind == "BinaryDactyl" ? "" : kind == "WebDactyl" ? "QT-FP-6621" : "QT-DC410"},
        {"name", "Module " + ip},
        {"mac", mac},
        {"ip", ip},
        {"mask", routed ? "255.255.255.192" : "255.255.255.0"},
        {"gateway", routed ? "203.0.113.129" : second ? "198.51.100.254" : "192.0.2.254"},
        {"version", "V3.10R2"},
        {"link", link},
    };
    if (kind == "BinaryDactyl") {
        m.erase("model");
    }
    return m;
}

nlohmann::json ManyModules(int count)
{
    nlohmann::json modules = nlohmann::json::array();
    for (int i = 0; i < count; ++i) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:42:00:00:%02X:%02X", (i >> 8) & 0xFF, i & 0xFF);
        const std::string ip = "192.0.2." + std::to_string(2 + i % 250);
        const char* kinds[] = {"Web", "WebDactyl", "BinaryDactyl", "LongReply"};
        modules.push_back(Module(kinds[i % 4], mac, ip));
    }
    return {{"modules", modules}};
}

nlohmann::json RoutedModules(int count)
{
    if (count < 0 || count > kMaxRoutedModules) {
        throw std::invalid_argument("the routed subnet holds at most 61 modules");
    }
    nlohmann::json modules = nlohmann::json::array();
    for (int i = 0; i < count; ++i) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:52:00:00:00:%02X", i & 0xFF);
        const char* kinds[] = {"Web", "WebDactyl", "BinaryDactyl"};
        modules.push_back(Module(kinds[i % 3], mac, "203.0.113." + std::to_string(130 + i), kRoutedLink));
    }
    return {{"modules", modules}};
}

Simulator::Simulator(const nlohmann::json& config)
{
    char path[] = "/tmp/tarrowind-sim-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) {
        throw std::runtime_error("cannot make the simulator's config file");
    }
    ::close(fd);
    m_configPath = path;
    WriteConfig(config);

    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        throw std::runtime_error("cannot make a pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    const std::string ns = SimNamespace();
    const std::string binary = SimulatorBinary();
    std::vector<std::string> args = {"ip", "netns", "exec", ns, binary, "--config", m_configPath};
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const int rc = ::posix_spawnp(&m_pid, "ip", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    m_output = pipeFds[0];
    if (rc != 0) {
        m_pid = -1;
        throw std::runtime_error("cannot start the simulator");
    }
    const std::string line = ReadLine(10000);
    if (line.rfind("ready", 0) != 0) {
        throw std::runtime_error("the simulator did not get ready: '" + line + "'");
    }
}

Simulator::~Simulator()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    if (m_output >= 0) {
        ::close(m_output);
    }
    if (!m_configPath.empty()) {
        ::unlink(m_configPath.c_str());
    }
}

void Simulator::Reload(const nlohmann::json& config)
{
    WriteConfig(config);
    ::kill(m_pid, SIGHUP);
    const std::string line = ReadLine(10000);
    if (line.rfind("reloaded", 0) != 0) {
        throw std::runtime_error("the simulator did not reload: '" + line + "'");
    }
}

void Simulator::WriteConfig(const nlohmann::json& config)
{
    std::ofstream(m_configPath, std::ios::trunc) << config.dump(2);
}

std::string Simulator::ReadLine(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (const auto end = m_buffered.find('\n'); end != std::string::npos) {
            std::string line = m_buffered.substr(0, end);
            m_buffered.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return {};
        }
        pollfd p{m_output, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char chunk[512];
        const auto n = ::read(m_output, chunk, sizeof chunk);
        if (n <= 0) {
            return {};
        }
        m_buffered.append(chunk, static_cast<std::size_t>(n));
    }
}

}  // namespace tarrowind::lab
