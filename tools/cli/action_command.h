#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "discovery/address_ranges.h"

namespace tarrowind {

enum class CliAction { Login, Reboot, Default, Firmware, Latest, Set };

// What `set` changes; unset fields keep the module's current values.
struct SetOptions {
    std::optional<std::string> name;
    std::optional<bool> dhcp;
    std::optional<std::string> ip;
    std::optional<std::string> mask;
    std::optional<std::string> gateway;
    std::optional<std::string> dns;
    std::optional<std::uint32_t> port;
    std::optional<std::string> newUser;
    std::string newPasswordEnv;
    // Many modules at once: consecutive addresses from `ipFrom` (with `mask` and `gateway`), or a plan
    // file; `dryRun` prints the plan and changes nothing.
    std::optional<std::string> ipFrom;
    std::optional<std::string> planFile;
    bool dryRun = false;
};

struct ActionOptions {
    CliAction action = CliAction::Login;
    std::string user;
    std::string passwordEnv;  // name of the variable holding the password
    bool passwordStdin = false;
    bool all = false;
    std::vector<std::string> macs;
    std::vector<std::string> ips;
    bool json = false;
    std::string firmwareFile;
    bool allowSameVersion = false;  // firmware FILE: a module that keeps its version is done, not failed
    std::optional<std::string> firmwareFolder;
    // Firmware updates in waves: the first wave's size; either option turns waves on.
    std::optional<std::uint32_t> firstWave;
    bool stopOnFailure = false;
    SetOptions set;
    std::uint32_t searchMs = 5000;
    std::vector<std::string> ranges;  // also searched by unicast, as `search --range`
    std::uint32_t rate = kDefaultProbeRate;
    // The chosen modules' changed certificates are taken and remembered (each named on standard error).
    bool acceptNewCertificate = false;
};

// Searches once, logs the chosen modules in through the job queue, then queues the action for the modules
// it is offered to, prints every change and last each chosen module's result. Returns the exit code: 0
// when every chosen module was done, 1 when any failed or was not found, 2 for a usage error, 3 when none
// failed but some were skipped.
int RunActionCommand(const ActionOptions& options, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace tarrowind
