#pragma once

#include "net_types.h"
#include "sim_config.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
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
    bool factoryDefault = false;                 // settings back to the configured ones; firmware stays
    std::optional<NetworkSettings> network;      // applied after factoryDefault
    std::optional<std::string> version;          // new firmware
    std::optional<WebFields> web;                // from the configuration form
};

// How far the module has written an uploaded image, in 1 KiB blocks.
struct FirmwareProgress {
    std::int32_t finish = 0;
    std::int32_t total = 0; // 0 while no image was uploaded
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
    WebScheme scheme() const { return webScheme(m_initial); }

    // The configuration as it is now: the configured identity with the current name, addresses,
    // DHCP flag and version.
    ModuleConfig snapshot() const;
    Ipv4Address ip() const;
    Ipv4Address mask() const;

    // False while restarting, always for a module configured silent, and for good once a
    // module that never returns has restarted.
    bool answering(Clock::time_point now) const;
    // False once a never-returning module has restarted: nothing will bring it back.
    bool willReturn() const;

    // The only place a module restarts: apply the changes and go quiet for the restart time, after
    // which it answers with the new values.
    void restart(Clock::time_point now, const RestartChanges& changes);
    unsigned restartCount() const;
    // How many TLS keys the module has made itself (factory defaults with newKeyOnDefault); 0: it shows
    // the simulator's shared certificate.
    unsigned keyGeneration() const;
    Clock::time_point silentUntil() const;

    // The web login the module takes now (it changes with the configuration form).
    bool credentialsMatch(std::string_view user, std::string_view password) const;

    // An image arrived: the module starts writing it now. A restart forgets it.
    void firmwareReceived(Clock::time_point now, std::uint64_t bytes, std::optional<std::string> version);
    FirmwareProgress firmwareProgress(Clock::time_point now) const;
    // The version the uploaded image carries, taken on at the next restart.
    std::optional<std::string> uploadedVersion() const;

private:
    const ModuleConfig m_initial;
    const std::chrono::milliseconds m_restartSilence;

    mutable std::mutex m_lock;
    ModuleConfig m_current;
    Clock::time_point m_silentUntil{};
    unsigned m_restarts = 0;
    unsigned m_keyGeneration = 0;

    struct Firmware {
        std::int32_t blocks = 0;
        std::optional<std::string> version;
        Clock::time_point writingFrom{};
    };
    std::optional<Firmware> m_firmware;
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
