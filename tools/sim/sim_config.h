#pragma once

#include "net_types.h"

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarrowind::sim {

enum class ModuleKind { Web, WebDactyl, BinaryDactyl, LongReply };

std::string_view kindName(ModuleKind kind);

// The pages of a module's web server, as fault switches name them.
enum class WebPage { Other, Hidden, Config, Upload, Progress, Reboot, Login };
inline constexpr std::size_t kWebPageCount = 7;

std::string_view pageName(WebPage page);
std::optional<WebPage> pageFromName(std::string_view name);

// How a refused page answers instead of its content.
enum class Refusal { None, Unauthorized, NotFound, LoginFail };

struct FaultConfig {
    bool badChecksum = false;    // binary reply carries a wrong checksum
    bool silent = false;         // answers nothing, not even ARP
    std::uint32_t delayMs = 0;   // discovery replies and acknowledgements go out this late
    std::string alsoOnLink;      // second link on which the module is present as well
    std::uint32_t replyLength = 0; // nonzero: the reply is cut or padded to this wrong length

    std::array<Refusal, kWebPageCount> refuse{};       // per page; None serves the page
    std::array<bool, kWebPageCount> dropConnection{};  // per page: close without an answer
    bool neverReturn = false;    // silent for good after its first restart
    std::uint32_t httpDelayMs = 0; // every web answer comes this late
    bool oversizedBody = false;  // the settings page is padded far beyond any sane size
    bool noTotal = false;        // the progress page lacks its total
    bool stallProgress = false;  // the progress page never advances
    bool busySettingsPage = false; // the settings page answers 503 with only its first variables
    bool keepVersion = false;    // takes and writes an upload, then restarts with its old version

    Refusal refusal(WebPage page) const { return refuse[static_cast<std::size_t>(page)]; }
    bool drops(WebPage page) const { return dropConnection[static_cast<std::size_t>(page)]; }
};

// What the settings page shows and the configuration form sets, beside the network settings.
struct WebFields {
    std::string user = "admin";     // Basic login of the web server; login of a reader's page
    std::string password = "admin";
    Ipv4Address dns = 0;
    std::uint32_t sendToServer = 0; // kept as given, so out-of-range values reach the client
    Ipv4Address serverAddress = 0;
    std::string myName;
    std::uint32_t ddns = 0;
    std::string hostName;
    std::string ddnsUser;
    std::string ddnsPassword;
    std::array<std::string, 3> des;
    std::uint32_t devicePort = 4000;

    bool operator==(const WebFields&) const = default;
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
    bool webServer = true;  // false: no web server, the UDP side only (a large search burst starts at once)
    std::string link;
    FaultConfig faults;

    WebFields web;
    std::optional<std::string> ethVersion; // network part's version; absent: the same as version
    std::string controllerVersion = "V1.00 build 7";
    std::uint32_t firmwareWriteMs = 1500;  // time the module takes to write an uploaded image

    std::string shownEthVersion() const { return ethVersion ? *ethVersion : version; }
};

// Which scheme a module's web server speaks; LongReply modules have none.
enum class WebScheme { None, Http, Https };
WebScheme webScheme(const ModuleConfig& module);

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
