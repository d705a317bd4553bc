#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace tarrowind::lab {

// The lab's namespaces as scripts/lab announces them; empty when not running inside the lab.
std::string SimNamespace();
// True when this process runs in the lab's pc namespace with the rights the tests need.
bool InLab();
// True when the lab was built with its router (scripts/lab --router): 203.0.113.128/26 is reached
// through it and no broadcast gets there.
bool HasRouter();
// Interface index of a pc adapter ("pc0", "pc1") in this namespace.
std::uint32_t AdapterIndex(const std::string& name);

// One module of the simulator's config, with the lab's defaults for the given kind. Addresses of the
// routed subnet get its mask and gateway.
nlohmann::json Module(const std::string& kind, const std::string& mac, const std::string& ip,
                      const std::string& link = "sim0");

// The routed subnet behind the lab's router and the simulator's link to it.
constexpr const char* kRoutedRange = "203.0.113.128/26";
constexpr const char* kRoutedLink = "sim2";
constexpr int kMaxRoutedModules = 61;  // 203.0.113.130 to .190

// `count` modules (at most kMaxRoutedModules) behind the router, from 203.0.113.130 on, of the kinds
// Web, WebDactyl and BinaryDactyl in turn; MACs 02:52:00:00:00:NN.
nlohmann::json RoutedModules(int count);

// `count` modules of all four kinds, all on pc0's link and subnet, so each answers the directed and the
// limited broadcast. TEST-NET holds fewer addresses than modules; the search tells modules apart by MAC.
nlohmann::json ManyModules(int count);

// tarrowind-sim running in the lab's sim namespace for the life of the object.
class Simulator {
public:
    explicit Simulator(const nlohmann::json& config);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Replaces the modules (a module "moves" by getting a new address) and waits until it took them.
    void Reload(const nlohmann::json& config);
    bool Running() const { return m_pid > 0; }

private:
    void WriteConfig(const nlohmann::json& config);
    std::string ReadLine(int timeoutMs);

    std::string m_configPath;
    pid_t m_pid = -1;
    int m_output = -1;
    std::string m_buffered;
};

}  // namespace tarrowind::lab
