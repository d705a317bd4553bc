#pragma once

#include "net_types.h"
#include "sim_config.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tarrowind::sim {

using Clock = std::chrono::steady_clock;

// What a settings request or a configuration page may change.
struct NetworkSettings {
    std::string name;
    bool dhcp = false;
    Ipv4Address ip = 0;
    Ipv4Address mask = 0;
    Ipv4Address gateway = 0;
};

// What changes when a module restarts; all empty is a plain reboot.
struct RestartChanges {
    bool factoryDefault = false;                 // back to the values it was configured with
    std::optional<NetworkSettings> network;      // applied after factoryDefault
    std::optional<std::string> version;          // new firmware
};

// One simulated module. Shared between the UDP side (single-threaded) and a web side that may run
// on other threads, so every mutable field is guarded by the module's own lock.
class ModuleState {
public:
    ModuleState(ModuleConfig config, std::chrono::milliseconds restartSilence);

    // Fields that never change while the simulator runs.
    ModuleKind kind() const { return m_initial.kind; }
    const MacAddress& mac() const { return m_initial.mac; }
    const FaultConfig& faults() const { return m_initial.faults; }
    const std::string& link() const { return m_initial.link; }
    bool isOnLink(const std::string& link) const;

    // The configuration as it is now: the configured identity with the current name, addresses,
    // DHCP flag and version.
    ModuleConfig snapshot() const;
    Ipv4Address ip() const;
    Ipv4Address mask() const;

    // False while restarting and always for a module configured silent.
    bool answering(Clock::time_point now) const;

    // The only place a module restarts: apply the changes and go quiet for the restart time, after
    // which it answers with the new values.
    void restart(Clock::time_point now, const RestartChanges& changes);
    unsigned restartCount() const;
    Clock::time_point silentUntil() const;

private:
    const ModuleConfig m_initial;
    const std::chrono::milliseconds m_restartSilence;

    mutable std::mutex m_lock;
    ModuleConfig m_current;
    Clock::time_point m_silentUntil{};
    unsigned m_restarts = 0;
};

using ModulePtr = std::shared_ptr<ModuleState>;

// All modules of one loaded configuration. Replaced as a whole on reload, so a holder of an old
// generation keeps valid modules.
struct ModuleGeneration {
    std::vector<ModulePtr> all;
    std::map<std::string, std::vector<ModulePtr>, std::less<>> byLink;
};

class ModuleTable {
public:
    void load(const SimConfig& config);
    std::shared_ptr<const ModuleGeneration> current() const;
    std::size_t size() const;

private:
    mutable std::mutex m_lock;
    std::shared_ptr<const ModuleGeneration> m_generation = std::make_shared<ModuleGeneration>();
};

} // namespace tarrowind::sim
