#include "sim_config.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

namespace tarrowind::sim {

using nlohmann::json;

std::string_view kindName(ModuleKind kind)
{
    switch (kind) {
    case ModuleKind::Web: return "Web";
    case ModuleKind::WebDactyl: return "WebDactyl";
    case ModuleKind::BinaryDactyl: return "BinaryDactyl";
    case ModuleKind::LongReply: return "LongReply";
    }
    return "?";
}

namespace {

constexpr std::array<std::string_view, kWebPageCount> kPageNames{"Other", "Hidden", "Config", "Upload",
                                                                 "Progress", "Reboot", "Login"};

} // namespace

std::string_view pageName(WebPage page)
{
    return kPageNames[static_cast<std::size_t>(page)];
}

std::optional<WebPage> pageFromName(std::string_view name)
{
    for (std::size_t i = 0; i < kPageNames.size(); ++i)
        if (kPageNames[i] == name) return static_cast<WebPage>(i);
    return std::nullopt;
}

WebScheme webScheme(const ModuleConfig& module)
{
    if (module.kind == ModuleKind::LongReply || !module.webServer) return WebScheme::None;
    return module.useHttps ? WebScheme::Https : WebScheme::Http;
}

std::optional<BinaryVersion> parseBinaryVersion(std::string_view text)
{
    auto number = [&](std::size_t& at, std::uint8_t& out) {
        unsigned value = 0;
        const char* begin = text.data() + at;
        const auto [next, error] = std::from_chars(begin, text.data() + text.size(), value);
        if (error != std::errc{} || next == begin || value > 255) return false;
        out = static_cast<std::uint8_t>(value);
        at = static_cast<std::size_t>(next - text.data());
        return true;
    };
    BinaryVersion version;
    std::size_t at = 0;
    if (text.empty() || (text[0] != 'V' && text[0] != 'v')) return std::nullopt;
    at = 1;
    if (!number(at, version.major) || at >= text.size() || text[at] != '.') return std::nullopt;
    ++at;
    if (!number(at, version.minor) || at >= text.size() || (text[at] != 'R' && text[at] != 'r'))
        return std::nullopt;
    ++at;
    if (!number(at, version.release) || at != text.size()) return std::nullopt;
    return version;
}

namespace {

const std::set<std::string> kTopKeys{"restartSilenceMs", "modules"};
const std::set<std::string> kModuleKeys{"kind", "replyLength", "model", "name", "mac", "macText",
                                        "ip", "mask", "gateway", "version", "dhcp", "useHttps", "webServer",
                                        "link", "faults", "user", "password", "dns", "sendToServer",
                                        "serverAddress", "myName", "ddns", "hostName", "ddnsUser",
                                        "ddnsPassword", "des1", "des2", "des3", "devicePort",
                                        "ethVersion", "controllerVersion", "firmwareWriteMs"};
const std::set<std::string> kFaultKeys{"badChecksum", "silent", "delayMs", "alsoOnLink",
                                       "replyLength", "refuse", "dropConnection", "neverReturn",
                                       "httpDelayMs", "oversizedBody", "noTotal", "stallProgress",
                                       "busySettingsPage", "keepVersion"};

// Longest wait a web fault or the firmware write may ask for.
constexpr std::uint32_t kMaxWebWaitMs = 600000;

// Largest UDP payload that fits one Ethernet frame without fragments.
constexpr std::uint32_t kMaxPayload = 1472;

class ModuleReader {
public:
    ModuleReader(const json& object, std::size_t index) : m_object(object), m_index(index)
    {
        std::ostringstream where;
        where << "module " << index + 1;
        if (object.is_object() && object.contains("name") && object["name"].is_string())
            where << " (\"" << object["name"].get<std::string>() << "\")";
        m_where = where.str();
    }

    [[noreturn]] void fail(const std::string& what) const { throw ConfigError(m_where + ": " + what); }

    void checkKeys(const json& object, const std::set<std::string>& allowed, const char* prefix) const
    {
        for (const auto& item : object.items())
            if (!allowed.count(item.key())) fail(std::string("unknown field \"") + prefix + item.key() + "\"");
    }

    std::optional<std::string> text(const json& object, const char* key, const char* prefix = "") const
    {
        if (!object.contains(key)) return std::nullopt;
        if (!object[key].is_string()) fail(std::string("\"") + prefix + key + "\" must be a string");
        return object[key].get<std::string>();
    }

    std::optional<bool> flag(const json& object, const char* key, const char* prefix = "") const
    {
        if (!object.contains(key)) return std::nullopt;
        if (!object[key].is_boolean()) fail(std::string("\"") + prefix + key + "\" must be true or false");
        return object[key].get<bool>();
    }

    std::optional<std::uint32_t> count(const json& object, const char* key, const char* prefix = "") const
    {
        if (!object.contains(key)) return std::nullopt;
        const json& value = object[key];
        if (!value.is_number_unsigned() && !(value.is_number_integer() && value.get<std::int64_t>() >= 0))
            fail(std::string("\"") + prefix + key + "\" must be a whole number >= 0");
        const auto number = value.get<std::uint64_t>();
        if (number > 0xFFFFFFFFu) fail(std::string("\"") + prefix + key + "\" is too large");
        return static_cast<std::uint32_t>(number);
    }

    Ipv4Address address(const char* key, std::optional<Ipv4Address> fallback) const
    {
        const auto value = text(m_object, key);
        if (!value) {
            if (!fallback) fail(std::string("\"") + key + "\" is required");
            return *fallback;
        }
        const auto parsed = parseIpv4(*value);
        if (!parsed) fail(std::string("bad IPv4 address in \"") + key + "\": \"" + *value + "\"");
        return *parsed;
    }

    std::vector<std::string> names(const json& object, const char* key, const char* prefix) const
    {
        std::vector<std::string> out;
        if (!object.contains(key)) return out;
        const json& list = object[key];
        if (!list.is_array()) fail(std::string("\"") + prefix + key + "\" must be an array of page names");
        for (const auto& item : list) {
            if (!item.is_string()) fail(std::string("\"") + prefix + key + "\" must be an array of page names");
            out.push_back(item.get<std::string>());
        }
        return out;
    }

    std::uint32_t bounded(const json& object, const char* key, const char* prefix, std::uint32_t fallback,
                          std::uint32_t maximum) const
    {
        const std::uint32_t value = count(object, key, prefix).value_or(fallback);
        if (value > maximum)
            fail(std::string("\"") + prefix + key + "\" must be at most " + std::to_string(maximum));
        return value;
    }

    // The pages a kind serves: readers only their login page, the others everything else.
    static bool serves(ModuleKind kind, WebPage page)
    {
        if (kind == ModuleKind::LongReply) return false;
        return (kind == ModuleKind::BinaryDactyl) == (page == WebPage::Login);
    }

    void readWeb(ModuleConfig& module) const
    {
        WebFields& web = module.web;
        web.user = text(m_object, "user").value_or(web.user);
        web.password = text(m_object, "password").value_or(web.password);
        if (module.kind != ModuleKind::BinaryDactyl && web.user.find(':') != std::string::npos)
            fail("\"user\" cannot hold ':' (Basic authentication splits there)");
        web.dns = address("dns", module.gateway);
        web.sendToServer = count(m_object, "sendToServer").value_or(0);
        web.serverAddress = address("serverAddress", 0u);
        web.myName = text(m_object, "myName").value_or("");
        web.ddns = count(m_object, "ddns").value_or(0);
        web.hostName = text(m_object, "hostName").value_or("");
        web.ddnsUser = text(m_object, "ddnsUser").value_or("");
        web.ddnsPassword = text(m_object, "ddnsPassword").value_or("");
        web.des[0] = text(m_object, "des1").value_or("");
        web.des[1] = text(m_object, "des2").value_or("");
        web.des[2] = text(m_object, "des3").value_or("");
        web.devicePort = count(m_object, "devicePort").value_or(4000);
        module.ethVersion = text(m_object, "ethVersion");
        module.controllerVersion = text(m_object, "controllerVersion").value_or(module.controllerVersion);
        module.firmwareWriteMs = bounded(m_object, "firmwareWriteMs", "", 1500, kMaxWebWaitMs);
    }

    void readWebFaults(const json& faults, ModuleConfig& module) const
    {
        FaultConfig& f = module.faults;
        for (const auto& name : names(faults, "refuse", "faults.")) {
            std::string page = name;
            Refusal refusal = Refusal::Unauthorized;
            if (name == "Hidden404" || name == "Other404") {
                page = name.substr(0, name.size() - 3);
                refusal = Refusal::NotFound;
            }
            const auto which = pageFromName(page);
            if (!which) fail("faults.refuse: unknown page \"" + name + "\" (Other, Other404, Hidden, Hidden404, "
                             "Config, Upload, Progress, Reboot, Login)");
            if (!serves(module.kind, *which))
                fail("faults.refuse: a " + std::string(kindName(module.kind)) + " module has no page \"" + page + "\"");
            if (*which == WebPage::Login) refusal = Refusal::LoginFail;
            auto& slot = f.refuse[static_cast<std::size_t>(*which)];
            if (slot != Refusal::None) fail("faults.refuse names page \"" + page + "\" twice");
            slot = refusal;
        }
        for (const auto& name : names(faults, "dropConnection", "faults.")) {
            const auto which = pageFromName(name);
            if (!which) fail("faults.dropConnection: unknown page \"" + name + "\" (Other, Hidden, Config, Upload, "
                             "Progress, Reboot, Login)");
            if (!serves(module.kind, *which))
                fail("faults.dropConnection: a " + std::string(kindName(module.kind)) + " module has no page \"" +
                     name + "\"");
            f.dropConnection[static_cast<std::size_t>(*which)] = true;
        }
        f.neverReturn = flag(faults, "neverReturn", "faults.").value_or(false);
        f.httpDelayMs = bounded(faults, "httpDelayMs", "faults.", 0, kMaxWebWaitMs);
        f.oversizedBody = flag(faults, "oversizedBody", "faults.").value_or(false);
        f.noTotal = flag(faults, "noTotal", "faults.").value_or(false);
        f.stallProgress = flag(faults, "stallProgress", "faults.").value_or(false);
        f.busySettingsPage = flag(faults, "busySettingsPage", "faults.").value_or(false);
        f.keepVersion = flag(faults, "keepVersion", "faults.").value_or(false);
        const bool pageFault = f.oversizedBody || f.noTotal || f.stallProgress || f.busySettingsPage || f.keepVersion;
        const bool webFault = f.httpDelayMs != 0 || pageFault;
        if (module.kind == ModuleKind::LongReply && webFault) fail("a LongReply module has no web server to fault");
        if (module.kind == ModuleKind::BinaryDactyl && pageFault)
            fail("a BinaryDactyl reader serves only its login page; oversizedBody, noTotal, stallProgress, "
                 "busySettingsPage and keepVersion do not apply");
    }

    ModuleConfig read(const std::string& defaultLink) const
    {
        if (!m_object.is_object()) fail("must be a JSON object");
        checkKeys(m_object, kModuleKeys, "");
        ModuleConfig module;

        const auto kind = text(m_object, "kind");
        if (!kind) fail("\"kind\" is required (Web, WebDactyl, BinaryDactyl or LongReply)");
        if (*kind == "Web") module.kind = ModuleKind::Web;
        else if (*kind == "WebDactyl") module.kind = ModuleKind::WebDactyl;
        else if (*kind == "BinaryDactyl") module.kind = ModuleKind::BinaryDactyl;
        else if (*kind == "LongReply") module.kind = ModuleKind::LongReply;
        else fail("unknown kind \"" + *kind + "\" (Web, WebDactyl, BinaryDactyl or LongReply)");

        std::vector<std::uint32_t> allowed;
        switch (module.kind) {
        case ModuleKind::Web: allowed = {172, 252, 256}; break;
        case ModuleKind::WebDactyl: allowed = {252, 256}; break;
        case ModuleKind::LongReply: allowed = {282}; break;
        case ModuleKind::BinaryDactyl: allowed = {84}; break;
        }
        module.replyLength = count(m_object, "replyLength").value_or(allowed.front());
        if (std::find(allowed.begin(), allowed.end(), module.replyLength) == allowed.end()) {
            std::string list;
            for (auto length : allowed) list += (list.empty() ? "" : ", ") + std::to_string(length);
            fail("replyLength " + std::to_string(module.replyLength) + " is not allowed for kind " +
                 *kind + " (allowed: " + list + ")");
        }

        const auto macValue = text(m_object, "mac");
        if (!macValue) fail("\"mac\" is required");
        const auto mac = parseMac(*macValue);
        if (!mac) fail("bad MAC address \"" + *macValue + "\" (six hex pairs separated by ':')");
        module.mac = *mac;
        if (((*mac)[0] & 0x01) != 0) fail("MAC address \"" + *macValue + "\" is a group address");
        module.macText = text(m_object, "macText");

        module.ip = address("ip", std::nullopt);
        module.mask = address("mask", 0xFFFFFF00u);
        module.gateway = address("gateway", 0u);

        module.name = text(m_object, "name").value_or("Module " + std::to_string(m_index + 1));
        module.version = text(m_object, "version").value_or("V1.0R0");
        module.dhcp = flag(m_object, "dhcp").value_or(false);
        module.useHttps = flag(m_object, "useHttps").value_or(module.kind != ModuleKind::BinaryDactyl);
        module.webServer = flag(m_object, "webServer").value_or(true);
        module.link = text(m_object, "link").value_or(defaultLink);
        if (module.link.empty()) fail("\"link\" is required when no --link is given");

        const char* defaultModel = "QT-DC410";
        if (module.kind == ModuleKind::WebDactyl) defaultModel = "QT-FP-6621";
        if (module.kind == ModuleKind::LongReply) defaultModel = "QT-DC820";
        module.model = text(m_object, "model").value_or(defaultModel);
        readWeb(module);

        // The kind must be the one the receiver will read from length and model.
        const bool dactylModel = module.model.find("QT-FP") != std::string::npos;
        if (module.kind == ModuleKind::WebDactyl && !dactylModel)
            fail("kind WebDactyl needs a model containing \"QT-FP\"; \"" + module.model +
                 "\" would be read as Web");
        if (module.kind == ModuleKind::Web && module.replyLength != 172 && dactylModel)
            fail("a " + std::to_string(module.replyLength) + "-byte reply with model \"" + module.model +
                 "\" is read as WebDactyl; use kind WebDactyl");
        if (module.kind == ModuleKind::BinaryDactyl && !parseBinaryVersion(module.version))
            fail("BinaryDactyl version \"" + module.version + "\" must look like V1.2R3 (numbers 0..255)");

        if (m_object.contains("faults")) {
            const json& faults = m_object["faults"];
            if (!faults.is_object()) fail("\"faults\" must be a JSON object");
            checkKeys(faults, kFaultKeys, "faults.");
            module.faults.badChecksum = flag(faults, "badChecksum", "faults.").value_or(false);
            module.faults.silent = flag(faults, "silent", "faults.").value_or(false);
            module.faults.delayMs = count(faults, "delayMs", "faults.").value_or(0);
            module.faults.alsoOnLink = text(faults, "alsoOnLink", "faults.").value_or("");
            module.faults.replyLength = count(faults, "replyLength", "faults.").value_or(0);
            if (module.faults.badChecksum && module.kind != ModuleKind::BinaryDactyl)
                fail("faults.badChecksum applies to BinaryDactyl only");
            if (module.faults.alsoOnLink == module.link)
                fail("faults.alsoOnLink names the module's own link \"" + module.link + "\"");
            if (module.faults.replyLength > kMaxPayload)
                fail("faults.replyLength must be at most " + std::to_string(kMaxPayload));
            readWebFaults(faults, module);
        }
        return module;
    }

private:
    const json& m_object;
    std::size_t m_index;
    std::string m_where;
};

} // namespace

SimConfig parseConfig(std::string_view jsonText, const std::string& defaultLink)
{
    json document;
    try {
        document = json::parse(jsonText.begin(), jsonText.end());
    } catch (const json::parse_error& error) {
        throw ConfigError(std::string("not valid JSON: ") + error.what());
    }
    if (!document.is_object()) throw ConfigError("the top level must be a JSON object");
    for (const auto& item : document.items())
        if (!kTopKeys.count(item.key())) throw ConfigError("unknown top-level field \"" + item.key() + "\"");

    SimConfig config;
    if (document.contains("restartSilenceMs")) {
        const json& value = document["restartSilenceMs"];
        if (!value.is_number_integer() || value.get<std::int64_t>() < 0 || value.get<std::int64_t>() > 3600000)
            throw ConfigError("\"restartSilenceMs\" must be a whole number from 0 to 3600000");
        config.restartSilenceMs = value.get<std::uint32_t>();
    }
    if (!document.contains("modules") || !document["modules"].is_array())
        throw ConfigError("\"modules\" must be an array");
    const json& modules = document["modules"];
    config.modules.reserve(modules.size());
    for (std::size_t i = 0; i < modules.size(); ++i)
        config.modules.push_back(ModuleReader(modules[i], i).read(defaultLink));
    return config;
}

SimConfig loadConfig(const std::string& path, const std::string& defaultLink)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) throw ConfigError("cannot read " + path);
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) throw ConfigError("cannot read " + path);
    return parseConfig(content.str(), defaultLink);
}

std::vector<std::string> linksNamed(const SimConfig& config)
{
    std::vector<std::string> links;
    auto add = [&](const std::string& link) {
        if (!link.empty() && std::find(links.begin(), links.end(), link) == links.end()) links.push_back(link);
    };
    for (const auto& module : config.modules) {
        add(module.link);
        add(module.faults.alsoOnLink);
    }
    return links;
}

} // namespace tarrowind::sim
