#include "tools/cli/action_command.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include <nlohmann/json.hpp>

#include "discovery/address_text.h"
#include "operations/controller_manager.h"
#include "operations/known_modules.h"
#include "operations/module_settings.h"
#include "commands/address_plan.h"
#include "commands/address_rules.h"
#include "commands/login_rules.h"
#include "commands/module_commands.h"
#include "commands/settings_plan.h"
#include "commands/terminal_text.h"
#include "platform/ascii_case.h"
#include "platform/ipv4_address.h"
#include "platform/process_environment.h"
#include "platform/stop_signals.h"
#include "platform/secret_wipe.h"
#include "tools/cli/action_outcome.h"
#include "tools/cli/backup_command.h"
#include "tools/cli/search_command.h"
#include "tools/cli/set_plan.h"
#include "tools/cli/status_names.h"

namespace tarrowind {
namespace {

// Says once on standard error that the modules are reached without static neighbour entries; the run
// goes on as it would with entries.
class NeighbourNotice final : public CoreEvents {
public:
    explicit NeighbourNotice(std::ostream& err) : m_err(err) {}

    void OnNeighbourEntriesRefused() override
    {
        m_err << "tarrowind-cli: this user may not make static neighbour (ARP) entries; the modules are reached "
                 "without them\n"
              << std::flush;
    }

private:
    std::ostream& m_err;
};

// Prints each change of a record's action, status or progress, once per change, and tells the tracker
// of every report; workers report concurrently, so one lock keeps lines whole.
class ChangePrinter final : public CoreEvents {
public:
    ChangePrinter(std::ostream& out, bool json, OutcomeTracker& tracker) : m_out(out), m_json(json), m_tracker(tracker)
    {
    }

    void OnReport(DeviceRecord& r) override
    {
        m_tracker.Seen(r);
        {
            std::lock_guard hold(m_lock);
            const State now{r.action, r.status, r.progress};
            auto [it, added] = m_last.try_emplace(&r, now);
            if (!added && it->second == now) {
                return;
            }
            it->second = now;
            Print(r);
            if (m_out) {
                return;
            }
        }
        // Nobody reads the output any more (a closed pipe): the run stops and cleans up.
        RequestStop(kExitOutputClosed);
    }

    void Print(const DeviceRecord& r)
    {
        if (m_json) {
            const nlohmann::ordered_json line = {{"mac", r.macText},        {"ip", r.ipText},
                                                 {"action", ActionName(r.action)}, {"status", r.status},
                                                 {"statusName", StatusName(r.status)}, {"progress", r.progress}};
            m_out << JsonTerminalSafe(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)) << '\n';
        } else {
            m_out << TerminalSafe(r.macText) << '\t' << TerminalSafe(r.ipText) << '\t' << ActionName(r.action) << '\t' << r.status << '\t'
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
    OutcomeTracker& m_tracker;
    std::mutex m_lock;
    std::map<const DeviceRecord*, State> m_last;
};

class Collector final : public CoreEvents {
public:
    void OnModuleFound(const DeviceRecord& record) override { records.push_back(std::make_unique<DeviceRecord>(record)); }
    void OnModuleConfirmed(const DeviceRecord& record) override
    {
        for (auto& r : records) {
            if (r->macText == record.macText) {
                *r = record;
            }
        }
    }
    std::vector<std::unique_ptr<DeviceRecord>> records;
};

constexpr std::size_t kSecretLineReserve = 1024;

bool ReadSecret(const std::string& variable, bool fromStdin, std::istream& in, std::string& secret, std::ostream& err)
{
    KeepSecretsOutOfDumps();
    if (fromStdin) {
        secret.reserve(kSecretLineReserve);  // a line that fits never leaves a copy in a grown-out buffer
        if (!std::getline(in, secret)) {
            err << "tarrowind-cli: no password on standard input\n";
            return false;
        }
        if (!secret.empty() && secret.back() == '\r') {
            secret.pop_back();
        }
        return true;
    }
    // Taken out of the environment, so that no child process inherits it.
    auto value = TakeEnvironmentSecret(variable);
    if (!value) {
        err << "tarrowind-cli: the environment variable " << variable << " is not set\n";
        return false;
    }
    secret = *value;
    WipeString(*value);
    return true;
}

// A dotted address given on the command line, read as --ip-from and plan files read theirs: four decimal
// numbers, a leading zero still decimal. The C library would read "010.0.0.1" as octal (8.0.0.1) and
// take short forms such as "10.1", giving a module an address nobody typed.
std::optional<Ipv4Address> OptionAddress(const std::string& text)
{
    return ParseDottedAddress(text);
}

// An optional address option into `into`; an absent one keeps `into`, one that is no address is false.
bool TakeAddress(const std::optional<std::string>& text, Ipv4Address& into)
{
    const auto address = text ? OptionAddress(*text) : std::nullopt;
    into = address.value_or(into);
    return !text || address;
}

// The same for a value kept in network order.
bool TakeAddress(const std::optional<std::string>& text, std::uint32_t& networkOrder)
{
    Ipv4Address address = Ipv4Address::FromNetworkOrder(networkOrder);
    const bool taken = TakeAddress(text, address);
    networkOrder = address.NetworkOrder();
    return taken;
}

// The window's questions, answered from the command line's options.
class OptionPrompts final : public CommandPrompts {
public:
    OptionPrompts(const ActionOptions& options, const std::string& password, const std::string& newPassword,
                  OutcomeTracker& tracker, std::ostream& err)
        : m_options(options), m_password(password), m_newPassword(newPassword), m_tracker(tracker), m_err(err)
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
        if (files != nullptr) {
            return files->Restore(s, m_tracker);
        }
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
        return Addresses(TakeAddress(o.ip, s.ip) && TakeAddress(o.mask, s.mask) && TakeAddress(o.gateway, s.gateway) &&
                         TakeAddress(o.dns, s.dns));
    }

    bool EditDactylSettings(DactylSettingValues& v) override
    {
        const SetOptions& o = m_options.set;
        v.name = o.name.value_or(v.name);
        if (o.dhcp) {
            v.dhcp = *o.dhcp ? 1 : 0;
        }
        return Addresses(TakeAddress(o.ip, v.ip) && TakeAddress(o.mask, v.mask) && TakeAddress(o.gateway, v.gateway));
    }

    bool AskFirmwareFile(DeviceRecord&, std::string& path) override
    {
        path = m_options.firmwareFile;
        return true;
    }

    bool AskUpdateWaves(const std::vector<const DeviceRecord*>&, bool, std::optional<WaveOptions>& waves) override
    {
        if (m_options.firstWave || m_options.stopOnFailure) {
            waves = WaveOptions{m_options.firstWave.value_or(1), m_options.stopOnFailure, m_options.allowSameVersion};
        }
        return true;
    }

    void OpenAddress(const std::string&) override {}

    // The summary gives the reason for every module left alone.
    void AddressInUse(const DeviceRecord& r) override { m_tracker.Skipped(r, SkipReason::AddressInUse); }
    void Skipped(const DeviceRecord& r, SkipReason reason) override { m_tracker.Skipped(r, reason); }
    void CannotTellApart(const DeviceRecord& r, int modules, bool) override { m_tracker.CannotTellApart(r, modules); }

    SettingsFileCommand* files = nullptr;  // a restore's edit instead of the options'

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
    OutcomeTracker& m_tracker;
    std::ostream& m_err;
};

class ActionRun {
public:
    ActionRun(const ActionOptions& options, AddressRanges ranges, SettingsPlan plan, std::ostream& out,
              std::ostream& err, SettingsFileCommand* files = nullptr)
        : m_options(options), m_out(out), m_err(err), m_tracker(options.action), m_printer(out, options.json, m_tracker),
          m_plan(std::move(plan)), m_files(files)
    {
        ManagerTiming timing;
        timing.searchMs = options.searchMs;
        ManagerServices services;
        services.knownModules = &m_known;
        m_known.onReplaced = [this](const std::string& mac, const std::optional<KnownModule>&, const KnownModule& now) {
            std::lock_guard hold(m_errLock);
            m_err << "tarrowind-cli: " << mac << ": new certificate taken, key SHA-256 "
                  << (now.https ? FingerprintHex(now.key) : std::string("none (plain HTTP)")) << '\n'
                  << std::flush;
        };
        m_manager = std::make_unique<CControllerManager>(services, timing);
        // Checked by the caller: no range set here is refused.
        m_manager->SetSearchRanges(std::move(ranges), options.rate);
        if (options.firmwareFolder) {
            std::string folder = *options.firmwareFolder;
            if (!folder.empty() && folder.back() != '/') {
                folder += '/';
            }
            m_manager->SetFirmwareFolder(folder);
        }
        SetStopHandler([this] { m_manager->StopJobs(); });
    }
    ~ActionRun()
    {
        // The manager's end removes the neighbour entries: a stop meanwhile only waits for it.
        SetStopHandler([] {});
        m_manager.reset();
    }
    ActionRun(const ActionRun&) = delete;
    ActionRun& operator=(const ActionRun&) = delete;

    int Run(const std::string& password, const std::string& newPassword)
    {
        if (!Search()) {
            return kExitFailed;
        }
        if (StopExitCode() != 0) {
            return StopExitCode();
        }
        if (m_options.all && m_records.empty()) {
            m_err << "tarrowind-cli: the search found no module\n";
            return kExitFailed;
        }
        const SetOptions& set = m_options.set;
        auto chosen = set.planFile ? PlanModules() : Choose();
        if (set.ipFrom) {
            // MAC order: the same modules get the same addresses however the search heard them.
            std::sort(chosen.begin(), chosen.end(),
                      [](const DeviceRecord* a, const DeviceRecord* b) { return a->macText < b->macText; });
        }
        const bool plainSet = m_options.action == CliAction::Set && !set.ipFrom && !set.planFile;
        if (plainSet) {
            if (const int code = CheckSetAddresses(chosen); code != kExitDone) {
                return code;
            }
        }
        if (m_files != nullptr) {
            if (const int code = m_files->Check(chosen, Listed(), m_expectedIp); code != kExitDone) {
                return code;
            }
        }
        if (m_options.acceptNewCertificate) {
            for (const DeviceRecord* r : chosen) {
                m_known.AllowChange(MacKey(r->mac));
            }
        }
        OptionPrompts prompts(m_options, password, newPassword, m_tracker, m_err);
        prompts.files = m_options.action == CliAction::Restore ? m_files : nullptr;
        ModuleCommands commands(*m_manager, prompts);
        commands.SetUpdateWaves(&m_waves);
        commands.SetListed([this] {
            std::vector<const DeviceRecord*> listed;
            for (const DeviceRecord& r : m_shown) {
                listed.push_back(&r);
            }
            return listed;
        });
        // As the window's user would: log in first, then the action on the modules that logged in.
        NoteShown();
        commands.SetLogin(chosen);
        m_manager->WaitUntilIdle();
        if (StopExitCode() != 0) {
            return StopExitCode();
        }
        NoteShown();
        // Every `set`: the login has just skipped such modules, which a plan would only call not logged in.
        if (m_options.action == CliAction::Set && !CanReachAlone(chosen)) {
            return kExitFailed;
        }
        if (m_options.action != CliAction::Login) {
            m_tracker.BeginAction();
        }
        if (set.ipFrom) {
            return AssignAddresses(commands, chosen);
        }
        if (set.planFile) {
            return ApplyPlan(commands);
        }
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
        case CliAction::Backup:
            m_files->Backup(chosen, *m_manager, m_tracker);
            break;
        case CliAction::Restore:
            commands.Setting(chosen);  // one module: the preview, then the Setting
            break;
        }
        m_manager->WaitUntilIdle();
        return StopExitCode() != 0 ? StopExitCode() : Summary(chosen);
    }

private:
    bool Search()
    {
        Collector collector;
        m_manager->Init(&m_notice, &collector);
        m_manager->RemoveAllStaticArp();
        if (m_manager->EnumerateAdapters() != 1) {
            m_err << "tarrowind-cli: cannot read the network adapter table\n";
            return false;
        }
        m_manager->Search();
        m_manager->Init(&m_notice, nullptr);
        m_records = std::move(collector.records);
        for (auto& r : m_records) {
            r->reportWindow = &m_printer;
        }
        return true;
    }

    // What the commands compare a module with while workers change others: every listed module's address
    // and MAC, taken while no worker runs.
    void NoteShown()
    {
        m_shown.clear();
        for (const auto& r : m_records) {
            DeviceRecord shown;
            shown.ip = r->ip;
            shown.macText = r->macText;
            m_shown.push_back(std::move(shown));
        }
    }

    std::vector<DeviceRecord*> Listed() const
    {
        std::vector<DeviceRecord*> listed;
        for (const auto& r : m_records) {
            listed.push_back(r.get());
        }
        return listed;
    }

    // What `set` gives every chosen module keeps the rules of plans: a new address is free and given to
    // one module only, and the addressing each module is left with is usable. Checked before anything is
    // done, so that a refusal changes nothing.
    int CheckSetAddresses(const std::vector<DeviceRecord*>& chosen)
    {
        const SetOptions& o = m_options.set;
        SettingsChange change;
        const auto take = [&](const std::optional<std::string>& text, std::optional<std::uint32_t>& into) {
            if (const auto address = text ? OptionAddress(*text) : std::nullopt) {
                into = address->NetworkOrder();
            }
        };
        take(o.ip, change.ip);
        take(o.mask, change.mask);
        take(o.gateway, change.gateway);
        change.dhcp = o.dhcp;
        if (change.ip && chosen.size() > 1) {
            m_err << "tarrowind-cli: --new-ip would give " << chosen.size() << " modules the one address "
                  << FormatIp(*change.ip) << "; each module needs an address of its own (--ip-from gives "
                  << "consecutive ones); nothing was changed\n";
            return kExitUsage;
        }
        for (const DeviceRecord* r : chosen) {
            const auto otherHas = [&](std::uint32_t address) {
                return std::any_of(m_records.begin(), m_records.end(),
                                   [&](const auto& other) { return other.get() != r && other->ip == address; });
            };
            if (change.ip && *change.ip != r->ip && otherHas(*change.ip)) {
                const auto holder = std::find_if(m_records.begin(), m_records.end(), [&](const auto& other) {
                    return other.get() != r && other->ip == *change.ip;
                });
                m_err << "tarrowind-cli: the address " << FormatIp(*change.ip) << " is that of " << (*holder)->macText
                      << "; a module is only given a free address; nothing was changed\n";
                return kExitFailed;
            }
            if (!ChangesAddressing(change)) {
                continue;
            }
            const Addressing after = AddressingAfter(*r, change);
            if (const AddressRule rule = CheckAddressing(after, otherHas); rule != AddressRule::Usable) {
                m_err << "tarrowind-cli: " << r->macText << ": " << DescribeAddressRule(rule, after)
                      << "; nothing was changed\n";
                return kExitFailed;
            }
        }
        return kExitDone;
    }

    // Modules that share one address are reached one by one through static neighbour entries; without
    // them nothing tells which one answers.
    bool CanReachAlone(const std::vector<DeviceRecord*>& chosen)
    {
        const bool entries = !m_manager->StaticArp().Refused();
        const auto all = Listed();
        const std::vector<const DeviceRecord*> listed(all.begin(), all.end());
        for (const DeviceRecord* r : chosen) {
            if (const int sharing = ModulesNotToldApart(*r, listed, entries); sharing > 0) {
                m_err << "tarrowind-cli: " << sharing << " modules are on " << r->ipText << " and cannot be told "
                      << "apart without static neighbour (ARP) entries, which "
                      << (r->routed || r->adapterIndex == kBroadcastAdapterIndex ? "it cannot be given"
                                                                                   : "this user may not make")
                      << "; nothing was changed\n";
                return false;
            }
        }
        return true;
    }

    // The modules the plan's rows name, to log in before the plan is matched.
    std::vector<DeviceRecord*> PlanModules() { return ModulesNamedBy(m_plan, Listed()); }

    int AssignAddresses(ModuleCommands& commands, const std::vector<DeviceRecord*>& chosen)
    {
        const auto listed = Listed();
        const AddressPlan plan =
            PlanAddresses(chosen, {listed.begin(), listed.end()}, *m_options.set.ipFrom, m_options.set.mask.value_or(""),
                          m_options.set.gateway.value_or(""), !m_manager->StaticArp().Refused());
        if (plan.error != AddressPlanError::None) {
            m_err << "tarrowind-cli: " << DescribeAddressPlanError(plan.error) << "; nothing was changed\n";
            return kExitUsage;
        }
        PrintAddressPlan(plan, m_options.json, m_out);
        std::size_t refused = 0;
        for (const AddressPlanRow& row : plan.rows) {
            if (row.note == AddressNote::NotOffered) {
                m_tracker.Skipped(*row.record, row.skip);
            } else if (row.note == AddressNote::Assigned) {
                m_expectedIp[row.record] = row.newIp;
            } else {
                ++refused;
            }
        }
        // As for a plan file: a module the run cannot give its address stops the whole run.
        if (refused > 0) {
            m_err << "tarrowind-cli: " << refused << (refused == 1 ? " module" : " modules")
                  << " cannot take the planned address (see the plan's notes); nothing was changed\n";
            return kExitFailed;
        }
        if (m_options.set.dryRun) {
            return DryRunCode(chosen);
        }
        commands.ChangeSettings(plan.Changes());
        m_manager->WaitUntilIdle();
        return StopExitCode() != 0 ? StopExitCode() : Summary(chosen);
    }

    int ApplyPlan(ModuleCommands& commands)
    {
        const PlanMatch match = MatchSettingsPlan(m_plan, Listed(), !m_manager->StaticArp().Refused());
        PrintPlanMatch(match, m_options.json, m_out);
        if (const int code = PlanProblemExitCode(match); code != kExitDone) {
            m_err << "tarrowind-cli: the plan has " << match.problems.size()
                  << (match.problems.size() == 1 ? " problem" : " problems") << "; nothing was changed\n";
            return code;
        }
        std::vector<DeviceRecord*> changed;
        for (const PlannedChange& c : match.changes) {
            changed.push_back(c.record);
            if (c.change.ip) {
                m_expectedIp[c.record] = *c.change.ip;
            }
        }
        if (m_options.set.dryRun || changed.empty()) {
            return kExitDone;
        }
        commands.ChangeSettings(match.Changes());
        m_manager->WaitUntilIdle();
        return StopExitCode() != 0 ? StopExitCode() : Summary(changed);
    }

    // A dry run acts on nothing: 0 when every chosen module would get its address, else 3 (or 1 for a
    // module not found or failing its login).
    int DryRunCode(const std::vector<DeviceRecord*>& chosen)
    {
        std::vector<ModuleResult> results(m_notFound.size(), ModuleResult::NotFound);
        for (const DeviceRecord* r : chosen) {
            results.push_back(IsFailureStatus(r->status) ? ModuleResult::Failed
                              : m_expectedIp.count(r) != 0 ? ModuleResult::Done
                                                           : ModuleResult::Skipped);
        }
        return ExitCode(results);
    }

    struct Missing {
        std::string mac, ip;
    };

    std::vector<DeviceRecord*> Choose()
    {
        std::vector<DeviceRecord*> chosen;
        for (auto& r : m_records) {
            if (m_options.all) {
                chosen.push_back(r.get());
            }
        }
        // Every module in MAC order, not in the order their replies came: the same site gives the same
        // run, and the first wave of a rollout is the same modules each time.
        std::stable_sort(chosen.begin(), chosen.end(),
                         [](const DeviceRecord* a, const DeviceRecord* b) { return a->mac < b->mac; });
        for (const std::string& mac : m_options.macs) {
            Pick(chosen, {mac, ""}, [&](const DeviceRecord& r) { return r.macText == UpperAscii(mac); });
        }
        for (const std::string& ip : m_options.ips) {
            Pick(chosen, {"", ip}, [&](const DeviceRecord& r) { return r.ipText == ip; });
        }
        return chosen;
    }

    template <typename Match>
    void Pick(std::vector<DeviceRecord*>& chosen, Missing wanted, Match match)
    {
        for (auto& r : m_records) {
            if (match(*r)) {
                if (std::find(chosen.begin(), chosen.end(), r.get()) == chosen.end()) {
                    chosen.push_back(r.get());
                }
                return;
            }
        }
        m_notFound.push_back(std::move(wanted));
    }

    void Line(const DeviceRecord* r, const Missing* missing, const ModuleOutcome& outcome)
    {
        if (m_options.json) {
            using nlohmann::ordered_json;
            const ordered_json nothing;
            const auto text = [&](const std::string& t) { return t.empty() ? nothing : ordered_json(t); };
            ordered_json line = {
                {"final", true},
                {"mac", r != nullptr ? ordered_json(r->macText) : text(missing->mac)},
                {"ip", r != nullptr ? ordered_json(r->ipText) : text(missing->ip)},
                {"action", r != nullptr ? ordered_json(ActionName(r->action)) : nothing},
                {"status", r != nullptr ? ordered_json(r->status) : nothing},
                {"statusName", r != nullptr ? ordered_json(StatusName(r->status)) : nothing},
                {"progress", r != nullptr ? ordered_json(r->progress) : nothing},
                {"result", ResultName(outcome.result)},
                {"reason", outcome.reason},
            };
            if (FirmwareAction() && r != nullptr) {
                line["versionBefore"] = text(r->versionBefore);
                line["versionAfter"] = r->version;
            }
            m_out << JsonTerminalSafe(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)) << '\n';
        } else if (r != nullptr) {
            m_out << TerminalSafe(r->macText) << '\t' << TerminalSafe(r->ipText) << '\t' << ActionName(r->action) << '\t'
                  << r->status << '\t' << StatusName(r->status) << '\t' << r->progress << '\t'
                  << ResultName(outcome.result) << '\t' << TerminalSafe(outcome.reason);
            if (FirmwareAction()) {
                m_out << '\t' << (r->versionBefore.empty() ? "-" : TerminalSafe(r->versionBefore)) << '\t'
                      << TerminalSafe(r->version);
            }
            m_out << '\n';
        } else {
            const auto dash = [](const std::string& t) { return t.empty() ? std::string("-") : TerminalSafe(t); };
            m_out << dash(missing->mac) << '\t' << dash(missing->ip) << "\t-\t-\t-\t-\t" << ResultName(outcome.result)
                  << '\t' << TerminalSafe(outcome.reason) << (FirmwareAction() ? "\t-\t-\n" : "\n");
        }
    }

    int Summary(const std::vector<DeviceRecord*>& chosen)
    {
        std::vector<ModuleResult> results;
        if (!m_options.json) {
            m_out << "MAC\tIP\tACTION\tSTATUS\tSTATUS NAME\tPROGRESS\tRESULT\tREASON"
                  << (FirmwareAction() ? "\tVERSION BEFORE\tVERSION AFTER\n" : "\n");
        }
        for (DeviceRecord* r : chosen) {
            if (m_options.allowSameVersion && m_options.action == CliAction::Firmware &&
                r->status == kStatusFirmwareNotTaken && r->version == r->versionBefore) {
                r->status = kStatusLoginSuccessfully;  // the same version was asked for: logged in as any other
            }
            ModuleOutcome outcome = m_tracker.Of(*r);
            const auto expected = m_expectedIp.find(r);
            if (outcome.result == ModuleResult::Done && expected != m_expectedIp.end() && r->ip != expected->second) {
                outcome = {ModuleResult::Failed, "the module came back at " + r->ipText + ", not at " +
                                                     FormatIp(expected->second)};
            }
            results.push_back(outcome.result);
            Line(r, nullptr, outcome);
        }
        for (const Missing& missing : m_notFound) {
            const ModuleOutcome outcome{ModuleResult::NotFound, "no module with this address answered the search"};
            results.push_back(outcome.result);
            Line(nullptr, &missing, outcome);
        }
        return ExitCode(results);
    }

    bool FirmwareAction() const
    {
        return m_options.action == CliAction::Firmware || m_options.action == CliAction::Latest;
    }

    const ActionOptions& m_options;
    std::ostream& m_out;
    std::ostream& m_err;
    OutcomeTracker m_tracker;
    ChangePrinter m_printer;
    NeighbourNotice m_notice{m_err};
    std::mutex m_errLock;
    KnownModules m_known{KnownModules::UserFilePath()};
    UpdateWaves m_waves;  // outlives the manager's workers: the destructor ends them first
    std::unique_ptr<CControllerManager> m_manager;
    std::vector<std::unique_ptr<DeviceRecord>> m_records;
    std::vector<DeviceRecord> m_shown;  // see NoteShown
    std::vector<Missing> m_notFound;
    SettingsPlan m_plan;
    std::map<const DeviceRecord*, std::uint32_t> m_expectedIp;  // the address a change gives the module
    SettingsFileCommand* m_files;  // backup and restore
};

// Every address of `set` is checked before the search: a typing error must not leave half the modules
// changed.
bool AddressesAreDotted(const SetOptions& o)
{
    for (const auto* text : {&o.ip, &o.mask, &o.gateway, &o.dns}) {
        if (*text && !OptionAddress(**text)) {
            return false;
        }
    }
    return true;
}

// The options of `set --ip-from` and `set --plan`; false with a message for options that do not go with
// them or an address that is none.
bool ManyModulesOptionsValid(const ActionOptions& options, std::ostream& err)
{
    const SetOptions& o = options.set;
    if (!o.ipFrom && !o.planFile) {
        if (o.dryRun) {
            err << "tarrowind-cli: --dry-run goes with --ip-from or --plan\n";
            return false;
        }
        return true;
    }
    if (o.name || o.dhcp || o.ip || o.dns || o.port || o.newUser) {
        err << "tarrowind-cli: --ip-from and --plan take none of --name, --dhcp, --new-ip, --dns, --port and "
               "--new-user\n";
        return false;
    }
    if (o.planFile && (o.mask || o.gateway || options.all || !options.macs.empty() || !options.ips.empty())) {
        err << "tarrowind-cli: --plan chooses the modules and their values itself: no --all, --mac, --ip, --mask "
               "or --gateway\n";
        return false;
    }
    if (o.ipFrom) {
        const auto mask = o.mask ? ParseDottedAddress(*o.mask) : Ipv4Address::FromHostOrder(0xFFFFFFFFu);
        if (!ParseDottedAddress(*o.ipFrom)) {
            err << "tarrowind-cli: --ip-from: " << DescribeAddressPlanError(AddressPlanError::StartNotAddress) << '\n';
            return false;
        }
        if (!mask || !IsSubnetMask(mask->HostOrder())) {
            err << "tarrowind-cli: --mask: " << DescribeAddressPlanError(AddressPlanError::MaskNotMask) << '\n';
            return false;
        }
        if (o.gateway && !ParseDottedAddress(*o.gateway)) {
            err << "tarrowind-cli: --gateway: " << DescribeAddressPlanError(AddressPlanError::GatewayNotAddress)
                << '\n';
            return false;
        }
    }
    return true;
}

}  // namespace

int RunActionCommand(const ActionOptions& options, std::istream& in, std::ostream& out, std::ostream& err)
{
    const bool planChooses = options.action == CliAction::Set && options.set.planFile;
    if (!planChooses && !options.all && options.macs.empty() && options.ips.empty()) {
        err << "tarrowind-cli: choose the modules with --all, --mac or --ip\n";
        return kExitUsage;
    }
    if (!ManyModulesOptionsValid(options, err)) {
        return kExitUsage;
    }
    if (!AddressesAreDotted(options.set)) {
        err << "tarrowind-cli: an address is not a dotted IPv4 address of four decimal numbers\n";
        return kExitUsage;
    }
    AddressRanges ranges;
    if (!ParseRangeOptions(options.ranges, ranges, err)) {
        return kExitUsage;
    }
    SettingsPlan plan;
    if (planChooses) {
        std::string bytes;
        if (!ReadPlanFile(*options.set.planFile, bytes, err)) {
            return kExitUsage;
        }
        plan = ReadSettingsPlan(bytes);
        if (plan.error != PlanReadError::None) {
            err << "tarrowind-cli: " << *options.set.planFile << ": " << DescribePlanReadError(plan.error) << '\n';
            return kExitUsage;
        }
    }
    const bool settingsFile = options.action == CliAction::Backup || options.action == CliAction::Restore;
    SettingsFileCommand files(options, out, err);
    if (const int code = settingsFile ? files.Prepare() : kExitDone; code != kExitDone) {
        return code;
    }
    std::string password;
    const WipeOnExit wipePassword(password);
    if (!ReadSecret(options.passwordEnv, options.passwordStdin, in, password, err)) {
        return kExitUsage;
    }
    std::string newPassword;
    const WipeOnExit wipeNewPassword(newPassword);
    if (options.set.newUser) {
        if (options.set.newPasswordEnv.empty()) {
            err << "tarrowind-cli: --new-user needs --new-password-env\n";
            return kExitUsage;
        }
        if (!ReadSecret(options.set.newPasswordEnv, false, in, newPassword, err)) {
            return kExitUsage;
        }
        // The window's rules for a new login, checked before any module is touched.
        if (const NewLoginProblem problem = CheckNewLogin(*options.set.newUser, newPassword, {password});
            problem != NewLoginProblem::None) {
            err << "tarrowind-cli: --new-user, --new-password-env: " << DescribeNewLoginProblem(problem) << '\n';
            return kExitUsage;
        }
    }
    ActionRun run(options, std::move(ranges), std::move(plan), out, err, settingsFile ? &files : nullptr);
    return run.Run(password, newPassword);
}

}  // namespace tarrowind
