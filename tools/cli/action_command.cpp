#include "tools/cli/action_command.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include <nlohmann/json.hpp>

#include "discovery/address_text.h"
#include "discovery/controller_manager.h"
#include "discovery/dactyl_settings.h"
#include "operations/firmware_folder.h"
#include "operations/module_settings.h"
#include "tools/cli/status_names.h"

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

bool LoginEligible(const DeviceRecord& r)
{
    return r.kind != ModuleKind::LongReply && r.action == kActionNone &&
           (r.status == kStatusNone || r.status == kStatusLoginFailed ||
            (r.kind == ModuleKind::BinaryDactyl && r.status == kStatusSettingFailed));
}

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
        Login(chosen, password);
        if (m_options.action != CliAction::Login) {
            Act(chosen, newPassword);
        }
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

    void Login(const std::vector<DeviceRecord*>& chosen, const std::string& password)
    {
        for (DeviceRecord* r : chosen) {
            if (!LoginEligible(*r)) {
                continue;
            }
            r->userName = m_options.user;
            r->password = password;
            r->action = kActionSetLogin;
            r->status = kStatusQueueLogin;
            Report(*r);
            Queue(*r, kStatusNone);
        }
        m_manager->WaitUntilIdle();
    }

    // Hands the record to the queue; a refusal puts it back as it was.
    void Queue(DeviceRecord& r, std::int32_t statusIfRefused)
    {
        if (m_manager->QueueJob(&r) == 0) {
            m_err << "tarrowind-cli: no worker could be started for " << r.macText << '\n';
            r.action = kActionNone;
            r.status = statusIfRefused;
            Report(r);
        }
    }

    void Act(const std::vector<DeviceRecord*>& chosen, const std::string& newPassword)
    {
        for (DeviceRecord* r : chosen) {
            if (r->action != kActionNone || r->status < kStatusLoginSuccessfully) {
                continue;
            }
            switch (m_options.action) {
            case CliAction::Reboot:
            case CliAction::Default: {
                if (!CanConfigure(r->model, r->version)) {
                    Skip(*r, "the module does not take this command");
                    break;
                }
                const bool reboot = m_options.action == CliAction::Reboot;
                r->action = reboot ? kActionReboot : kActionDefault;
                r->status = reboot ? kStatusQueueReboot : kStatusQueueSetDefault;
                Report(*r);
                Queue(*r, kStatusLoginSuccessfully);
                break;
            }
            case CliAction::Firmware:
                if (!CanUpdateFirmware(r->model, r->version)) {
                    Skip(*r, "the module's firmware is too old to be updated");
                    break;
                }
                r->action = kActionFirmwareUpdate;
                r->status = kStatusQueueFirmwareUpdate;
                r->firmwareFile = m_options.firmwareFile;
                r->firmwareFile2.clear();
                Report(*r);
                Queue(*r, kStatusLoginSuccessfully);
                break;
            case CliAction::Latest: {
                const std::int32_t latest = CheckLatestFirmware(m_manager->FirmwareFolder(), r->model, r->version,
                                                                &r->firmwareFile, &r->firmwareFile2);
                if (latest == -1) {
                    r->status = kStatusUnknown;
                    Report(*r);
                } else if (latest == 0) {
                    r->status = kStatusLatestVersion;
                    Report(*r);
                } else if (latest == 1) {
                    r->action = kActionFirmwareUpdateToLatest;
                    r->status = kStatusQueueFirmwareUpdate;
                    Report(*r);
                    Queue(*r, kStatusLoginSuccessfully);
                }
                break;
            }
            case CliAction::Set:
                Set(*r, newPassword);
                break;
            case CliAction::Login:
                break;
            }
        }
        m_manager->WaitUntilIdle();
    }

    void Skip(const DeviceRecord& r, const char* why) { m_err << "tarrowind-cli: " << r.macText << ": " << why << '\n'; }

    void Set(DeviceRecord& r, const std::string& newPassword)
    {
        const SetOptions& o = m_options.set;
        if (r.kind != ModuleKind::BinaryDactyl && !CanConfigure(r.model, r.version)) {
            Skip(r, "the module does not take settings");
            return;
        }
        if (!m_manager->ReserveAddress(r.ip)) {
            Skip(r, "the module's address is in use by another action");
            return;
        }
        r.action = kActionSetting;
        Report(r);
        std::shared_ptr<PendingPayload> payload;
        if (r.kind == ModuleKind::BinaryDactyl) {
            std::uint32_t ip = 0, mask = 0, gateway = 0;
            if (!HostOrder(o.ip.value_or(r.ipText), ip) || !HostOrder(o.mask.value_or(r.maskText), mask) ||
                !HostOrder(o.gateway.value_or(r.gatewayText), gateway)) {
                Skip(r, "an address is not a dotted IPv4 address");
            } else {
                payload = std::make_shared<DactylSettingsRequest>(MakeDactylSettingsRequest(
                    r.macText, o.name.value_or(r.name), o.dhcp.value_or(r.dhcp != 0), ip, mask, gateway));
            }
        } else {
            auto settings = std::make_shared<ModuleSettings>();
            settings->target = HttpTarget::ForRecord(r);
            m_manager->AddStaticArp(r);
            const std::int32_t read = ReadModuleSettings(settings.get(), m_manager->Http());
            m_manager->RemoveStaticArp(r);
            if (read != kHttpSuccess) {
                r.action = kActionNone;
                r.status = kStatusSettingFailed;
                Report(r);
                m_manager->ReleaseAddress(r.ip);
                return;
            }
            settings->newLoginName = o.newUser.value_or(r.userName);
            settings->newAdminPassword = o.newUser ? newPassword : r.password;
            if (Apply(*settings)) {
                payload = settings;
            } else {
                Skip(r, "an address is not a dotted IPv4 address");
            }
        }
        if (payload) {
            r.pendingPayload = payload;
            r.status = kStatusQueueSetting;
            Report(r);
            Queue(r, kStatusLoginSuccessfully);
        } else {
            r.action = kActionNone;
            Report(r);
        }
        // Starts the record parked behind the reservation.
        m_manager->ReleaseAddress(r.ip);
    }

    bool Apply(ModuleSettings& s) const
    {
        const SetOptions& o = m_options.set;
        const auto address = [](const std::optional<std::string>& text, std::uint32_t& into) {
            if (!text) {
                return true;
            }
            const std::uint32_t value = InetAddr(*text);
            if (value == 0xFFFFFFFFu && *text != "255.255.255.255") {
                return false;
            }
            into = value;
            return true;
        };
        if (o.name) {
            s.machineName = *o.name;
        }
        if (o.dhcp) {
            s.dhcp = *o.dhcp ? 1 : 0;
        }
        if (o.port) {
            s.devicePort = *o.port;
        }
        return address(o.ip, s.ip) && address(o.mask, s.mask) && address(o.gateway, s.gateway) && address(o.dns, s.dns);
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
