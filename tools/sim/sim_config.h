#pragma once

#include "net_types.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarrowind::sim {

enum class ModuleKind { Web, WebDactyl, BinaryDactyl, LongReply };

std::string_view kindName(ModuleKind kind);

struct FaultConfig {
    bool badChecksum = false;    // binary reply carries a wrong checksum
    bool silent = false;         // answers nothing, not even ARP
    std::uint32_t delayMs = 0;   // discovery replies and acknowledgements go out this late
    std::string alsoOnLink;      // second link on which the module is present as well
    std::uint32_t replyLength = 0; // nonzero: the reply is cut or padded to this wrong length
};

struct ModuleConfig {
    ModuleKind kind = ModuleKind::Web;
    std::uint32_t replyLength = 172;
    std::string model;
    std::string name;
    MacAddress mac{};
    std::optional<std::string> macText; // text reply carries this instead of the formatted MAC
    Ipv4Address ip = 0;
    Ipv4Address mask = 0xFFFFFF00u;
    Ipv4Address gateway = 0;
    std::string version;
    bool dhcp = false;
    bool useHttps = true;
    std::string link;
    FaultConfig faults;
};

struct SimConfig {
    std::uint32_t restartSilenceMs = 1500;
    std::vector<ModuleConfig> modules;
};

class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct BinaryVersion {
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    std::uint8_t release = 0;
};

// "V1.2R3" -> {1, 2, 3}; numbers must fit one byte each.
std::optional<BinaryVersion> parseBinaryVersion(std::string_view text);

// A module with no "link" gets defaultLink; an empty defaultLink makes that an error.
SimConfig parseConfig(std::string_view jsonText, const std::string& defaultLink = {});
SimConfig loadConfig(const std::string& path, const std::string& defaultLink = {});

// Every link named by a module, its own and its alsoOnLink, in order of first mention.
std::vector<std::string> linksNamed(const SimConfig& config);

} // namespace tarrowind::sim
