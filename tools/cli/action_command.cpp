#include "tools/cli/action_command.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include <nlohmann/json.hpp>

#include "discovery/address_text.h"
#include "discovery/controller_manager.h"
#include "operations/module_settings.h"
#include "tools/cli/status_names.h"
#include "commands/module_commands.h"

namespace tarrowind {
namespace {

std::string Upper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// Prints each change of a record's action, status or progress, once per change; workers report
// concurrently, so one lock keeps lines whole.
class ChangePrinter final : public CoreEvents {
public:
    ChangePrinter(std::ostream& out, bool json) : m_out(out), m_json(json) {}

    void OnReport(DeviceRecord& r) override
    {
        std::lock_guard hold(m_lock);
        const State now{r.action, r.status, r.progress};
        auto [it, added] = m_last.try_emplace(&r, now);
        if (!added && it->second == now) {
            return;
        }
        it->second = now;
        Print(r);
    }

    void Print(const DeviceRecord& r)
    {
        if (m_json) {
            const nlohmann::ordered_json line = {{"mac", r.macText},        {"ip", r.ipText},
                                                 {"action", ActionName(r.action)}, {"status", r.status},
                                                 {"statusName", StatusName(r.status)}, {"progress", r.progress}};
            m_out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        } else {
            m_out << r.macText << '\t' << r.ipText << '\t' << ActionName(r.action) << '\t' << r.status << '\t'
                  << StatusName(r.status) << '\t' << r.progress << '\n';
        }
        m_out.flush();
    }

private:
    struct State {
        std::int32_t action, status, progress;
        bool operator==(const State&) const = default;
    };
    std::ostream& m_out;
    bool m_json;
    std::mutex m_lock;
    std::map<const DeviceRecord*, State> m_last;
};

class Collector final : public CoreEvents {
public:
    void OnModuleFound(const DeviceRecord& record) override { records.push_back(std::make_unique<DeviceRecord>(record)); }
    std::vector<std::unique_ptr<DeviceRecord>> records;
};

bool ReadSecret(const std::string& variable, bool fromStdin, std::istream& in, std::string& secret, std::ostream& err)
{
    if (fromStdin) {
        if (!std::getline(in, secret)) {
            err << "tarrowind-cli: no password on standard input\n";
            return false;
        }
        if (!secret.empty() && secret.back() == '\r') {
            secret.pop_back();
        }
        return true;
    }
    const char* value = std::getenv(variable.c_str());
    if (value == nullptr) {
        err << "tarrowind-cli: the environment variable " << variable << " is not set\n";
        return false;
    }
    secret = value;
    return true;
}

// Host-order value of a dotted address given on the command line.
bool HostOrder(const std::string& text, std::uint32_t& value)
{
    const std::uint32_t network = InetAddr(text);
    if (network == 0xFFFFFFFFu && text != "255.255.255.255") {
        return false;
    }
    value = __builtin_bswap32(network);
    return true;
}

// Network-order value of an optional dotted address; an absent one keeps `into`.
bool NetworkOrder(const std::optional<std::string>& text, std::uint32_t& into)
{
    if (!text) {
        return true;
    }
    const std::uint32_t value = InetAddr(*text);
    if (value == 0xFFFFFFFFu && *text != "255.255.255.255") {
        return false;
    }
    into = value;
    return true;
}

// The window's questions, answered from the command line's options.
class OptionPrompts final : public CommandPrompts {
public:
    OptionPrompts(const ActionOptions& options, const std::string& password, const std::string& newPassword,
                  std::ostream& err)
        : m_options(options), m_password(password), m_newPassword(newPassword), m_err(err)
    {
    }

    bool AskLogin(std::string& loginId, std::string& password) override
    {
        loginId = m_options.user;
        password = m_password;
        return true;
    }

    bool EditModuleSettings(ModuleSettings& s) override
    {
        const SetOptions& o = m_options.set;
        if (o.newUser) {
            s.newLoginName = *o.newUser;
            s.newAdminPassword = m_newPassword;
        }
        if (o.name) {
            s.machineName = *o.name;
        }
        if (o.dhcp) {
            s.dhcp = *o.dhcp ? 1 : 0;
        }
        if (o.port) {
            s.devicePort = *o.port;
        }
        return Addresses(NetworkOrder(o.ip, s.ip) && NetworkOrder(o.mask, s.mask) &&
                         NetworkOrder(o.gateway, s.gateway) && NetworkOrder(o.dns, s.dns));
    }

    bool EditDactylSettings(DactylSettingValues& v) override
    {
        const SetOptions& o = m_options.set;
        v.name = o.name.value_or(v.name);
        if (o.dhcp) {
            v.dhcp = *o.dhcp ? 1 : 0;
        }
        const auto address = [](const std::optional<std::string>& text, std::uint32_t& into) {
            return !text || HostOrder(*text, into);
        };
        return Addresses(address(o.ip, v.ip) && address(o.mask, v.mask) && address(o.gateway, v.gateway));
    }

    bool AskFirmwareFile(DeviceRecord&, std::string& path) override
    {
        path = m_options.firmwareFile;
        return true;
    }

    void OpenAddress(const std::string&) override {}

    void AddressInUse(const DeviceRecord& r) override
    {
        m_err << "tarrowind-cli: " << r.macText << ": the module's address is in use by another action\n";
    }

    void Skipped(const DeviceRecord& r, SkipReason reason) override
    {
        const char* why = "";
        switch (reason) {
        case SkipReason::NotEligible:
            // A module that did not log in was already reported with its status.
            if (m_options.action == CliAction::Login || r.status >= kStatusLoginSuccessfully) {
                why = "the module's state does not take this command";
            }
            break;
        case SkipReason::NotOffered:
            why = "the module's model or firmware does not take this command";
            break;
        case SkipReason::KindNotOffered:
            why = "this kind of module does not take this command";
            break;
        case SkipReason::AddressInUse:
            why = "the module's address is in use by another action";
            break;
        case SkipReason::NoWorker:
            why = "no worker could be started for it";
            break;
        }
        if (*why != '\0') {
            m_err << "tarrowind-cli: " << r.macText << ": " << why << '\n';
        }
    }

private:
    bool Addresses(bool valid)
    {
        if (!valid) {
            m_err << "tarrowind-cli: an address is not a dotted IPv4 address\n";
        }
        return valid;
    }

    const ActionOptions& m_options;
    const std::string& m_password;
    const std::string& m_newPassword;
    std::ostream& m_err;
};

class ActionRun {
public:
    ActionRun(const ActionOptions& options, std::ostream& out, std::ostream& err)
        : m_options(options), m_out(out), m_err(err), m_printer(out, options.json)
    {
        ManagerTiming timing;
        timing.searchMs = options.searchMs;
        m_manager = std::make_unique<CControllerManager>(ManagerServices{}, timing);
        if (options.firmwareFolder) {
            std::string folder = *options.firmwareFolder;
            if (!folder.empty() && folder.back() != '/') {
                folder += '/';
            }
            m_manager->SetFirmwareFolder(folder);
        }
    }

    int Run(const std::string& password, const std::string& newPassword)
    {
        if (!Search()) {
            return 1;
        }
        const auto chosen = Choose();
        OptionPrompts prompts(m_options, password, newPassword, m_err);
        ModuleCommands commands(*m_manager, prompts);
        // As the window's user would: log in first, then the action on the modules that logged in.
        commands.SetLogin(chosen);
        m_manager->WaitUntilIdle();
        switch (m_options.action) {
        case CliAction::Login:
            break;
        case CliAction::Reboot:
            commands.RebootOrDefault(chosen, ModuleCommands::RestartKind::Reboot);
            break;
        case CliAction::Default:
            commands.RebootOrDefault(chosen, ModuleCommands::RestartKind::Default);
            break;
        case CliAction::Firmware:
            commands.FirmwareUpdate(chosen);
            break;
        case CliAction::Latest:
            commands.FirmwareUpdateToLatest(chosen);
            break;
        case CliAction::Set:
            for (DeviceRecord* r : chosen) {
                commands.Setting({r});
            }
            break;
        }
        m_manager->WaitUntilIdle();
        return Summary(chosen);
    }

private:
    bool Search()
    {
        Collector collector;
        m_manager->Init(nullptr, &collector);
        m_manager->RemoveAllStaticArp();
        if (m_manager->EnumerateAdapters() != 1) {
            m_err << "tarrowind-cli: cannot read the network adapter table\n";
            return false;
        }
        m_manager->Search();
        m_manager->Init(nullptr, nullptr);
        m_records = std::move(collector.records);
        for (auto& r : m_records) {
            r->reportWindow = &m_printer;
        }
        return true;
    }

    std::vector<DeviceRecord*> Choose()
    {
        std::vector<DeviceRecord*> chosen;
        for (auto& r : m_records) {
            if (m_options.all) {
                chosen.push_back(r.get());
            }
        }
        for (const std::string& mac : m_options.macs) {
            Pick(chosen, mac, [&](const DeviceRecord& r) { return r.macText == Upper(mac); });
        }
        for (const std::string& ip : m_options.ips) {
            Pick(chosen, ip, [&](const DeviceRecord& r) { return r.ipText == ip; });
        }
        return chosen;
    }

    template <typename Match>
    void Pick(std::vector<DeviceRecord*>& chosen, const std::string& wanted, Match match)
    {
        for (auto& r : m_records) {
            if (match(*r)) {
                if (std::find(chosen.begin(), chosen.end(), r.get()) == chosen.end()) {
                    chosen.push_back(r.get());
                }
                return;
            }
        }
        m_notFound.push_back(wanted);
    }

    int Summary(const std::vector<DeviceRecord*>& chosen)
    {
        bool failed = !m_notFound.empty();
        if (!m_options.json) {
            m_out << "MAC\tIP\tACTION\tSTATUS\tSTATUS NAME\tPROGRESS\n";
        }
        for (const DeviceRecord* r : chosen) {
            failed = failed || IsFailureStatus(r->status);
            if (m_options.json) {
                const nlohmann::ordered_json line = {
                    {"final", true}, {"mac", r->macText}, {"ip", r->ipText}, {"action", ActionName(r->action)},
                    {"status", r->status}, {"statusName", StatusName(r->status)}, {"progress", r->progress}};
                m_out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
            } else {
                m_out << r->macText << '\t' << r->ipText << '\t' << ActionName(r->action) << '\t' << r->status << '\t'
                      << StatusName(r->status) << '\t' << r->progress << '\n';
            }
        }
        for (const std::string& missing : m_notFound) {
            m_err << "tarrowind-cli: " << missing << ": no such module was found\n";
        }
        return failed ? 1 : 0;
    }

    const ActionOptions& m_options;
    std::ostream& m_out;
    std::ostream& m_err;
    ChangePrinter m_printer;
    std::unique_ptr<CControllerManager> m_manager;
    std::vector<std::unique_ptr<DeviceRecord>> m_records;
    std::vector<std::string> m_notFound;
};

}  // namespace

int RunActionCommand(const ActionOptions& options, std::istream& in, std::ostream& out, std::ostream& err)
{
    if (!options.all && options.macs.empty() && options.ips.empty()) {
        err << "tarrowind-cli: choose the modules with --all, --mac or --ip\n";
        return 2;
    }
    std::string password;
    if (!ReadSecret(options.passwordEnv, options.passwordStdin, in, password, err)) {
        return 2;
    }
    std::string newPassword;
    if (options.set.newUser) {
        if (options.set.newPasswordEnv.empty()) {
            err << "tarrowind-cli: --new-user needs --new-password-env\n";
            return 2;
        }
        if (!ReadSecret(options.set.newPasswordEnv, false, in, newPassword, err)) {
            return 2;
        }
    }
    ActionRun run(options, out, err);
    return run.Run(password, newPassword);
}

}  // namespace tarrowind
