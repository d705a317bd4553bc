// tarrowind-cli: the command-line companion for scripting searches and module actions.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "platform/file_path.h"
#include "platform/process_environment.h"
#include "platform/stop_signals.h"
#include "tools/cli/action_command.h"
#include "tools/cli/action_outcome.h"
#include "tools/cli/search_command.h"

namespace {

using tarrowind::ActionOptions;
using tarrowind::CliAction;

constexpr const char* kFooter =
    "The password is read from the environment variable that --password-env names, or from the first line of\n"
    "standard input with --password-stdin; it is never given on the command line.\n"
    "\n"
    "Exit codes of the actions:\n"
    "  0  every chosen module was acted on and ended logged in (latest: or already had the newest firmware)\n"
    "  1  a chosen module failed, was not found or was held (--wave), or the search could not run\n"
    "  2  usage error\n"
    "  3  none failed, but some modules were skipped: the command is not offered for them (see RESULT and\n"
    "     REASON of the summary)\n"
    "  130, 143, 129, 141  stopped by SIGINT, SIGTERM, SIGHUP or a closed output pipe: the running exchanges\n"
    "     were ended and the neighbour entries removed; no summary";

// CLI11's own check reads the path in the system's 8-bit code page, which cannot name every file on
// Windows; the program's paths are UTF-8.
const CLI::Validator kExistingFile(
    [](const std::string& path) -> std::string {
        std::error_code error;
        const auto status = std::filesystem::status(tarrowind::PathFromUtf8(path), error);
        if (error || !std::filesystem::exists(status)) {
            return "File does not exist: " + path;
        }
        if (std::filesystem::is_directory(status)) {
            return "File is actually a directory: " + path;
        }
        return {};
    },
    "FILE", "EXISTING_FILE");

void AddSearchOptions(CLI::App* command, std::uint32_t& searchMs, std::vector<std::string>& ranges,
                      std::uint32_t& rate)
{
    command->add_option("--search-ms", searchMs, "Length of the search in milliseconds")
        ->check(CLI::Range(100u, 600000u))
        ->capture_default_str();
    command->add_option("--range", ranges,
                        "Also probe these addresses by unicast, for modules behind routers: a.b.c.d/n, "
                        "first-last or one address (repeatable; at most 65536 addresses in all)");
    command->add_option("--rate", rate, "Unicast probes per second")
        ->check(CLI::Range(tarrowind::kMinProbeRate, tarrowind::kMaxProbeRate))
        ->capture_default_str();
}

// The options every action shares: credentials, the modules to act on, the output form.
void AddCommon(CLI::App* command, ActionOptions& o)
{
    command->add_option("--user", o.user, "Login ID of the modules")->required();
    auto* env = command->add_option("--password-env", o.passwordEnv, "Environment variable holding the password");
    auto* in = command->add_flag("--password-stdin", o.passwordStdin, "Read the password from standard input");
    env->excludes(in);
    in->excludes(env);
    command->callback([command, env, in] {
        if (env->count() == 0 && in->count() == 0) {
            throw CLI::RequiredError("--password-env or --password-stdin");
        }
        (void)command;
    });
    command->add_flag("--all", o.all, "Every module the search finds");
    command->add_option("--mac", o.macs, "Hardware address of a module (repeatable)");
    command->add_option("--ip", o.ips, "IPv4 address of a module (repeatable)");
    command->add_flag("--json", o.json, "One JSON object per change");
    command->add_flag("--accept-new-certificate", o.acceptNewCertificate,
                      "Take the chosen modules' new certificates where they changed (the login after a restart never "
                      "takes one)");
    AddSearchOptions(command, o.searchMs, o.ranges, o.rate);
}

// The backup files hold the modules' secrets: they go where the user says, readable by the user only.
void AddSettingsFileOptions(CLI::App* backup, CLI::App* restore, tarrowind::SettingsFileOptions& o)
{
    backup->add_option("--out", o.folder, "Folder the files go to (made when missing)")->required();
    restore->add_option("FILE", o.file, "A file saved by backup")->required()->check(kExistingFile);
    restore->add_flag("--with-network", o.withNetwork,
                      "Also take the file's address, mask, gateway and DHCP (a replacement taking over its "
                      "predecessor's address); left out, the module keeps its own");
    restore->add_flag("--dry-run", o.dryRun, "Print the preview, change nothing");
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Finds the maker's network modules on every local network and acts on them."};
    app.name("tarrowind-cli");
    app.require_subcommand(1);
    app.footer(kFooter);
    app.set_version_flag("--version", std::string("tarrowind-cli ") + TARROWIND_VERSION);

    tarrowind::SearchOptions search;
    CLI::App* searchCommand = app.add_subcommand("search", "Search every local network once and list the modules heard");
    auto* searchJson = searchCommand->add_flag("--json", search.json, "One JSON object per line");
    searchCommand->add_flag("--csv", search.csv, "The list as a CSV file (UTF-8, as the window exports it)")
        ->excludes(searchJson);
    AddSearchOptions(searchCommand, search.searchMs, search.ranges, search.rate);
    searchCommand->add_option("--filter", search.filter,
                              "Only the modules whose name, model, version, MAC, IP, adapter or status contains TEXT "
                              "(any case)");
    searchCommand->add_option("--firmware-folder", search.firmwareFolder,
                              "Folder of the firmware list to compare each module with, instead of the management "
                              "software's");

    ActionOptions action;
    struct Entry {
        const char* name;
        const char* help;
        CliAction kind;
        CLI::App* command = nullptr;
    };
    Entry entries[] = {
        {"login", "Log in to the modules", CliAction::Login},
        {"reboot", "Log in, then reboot the modules", CliAction::Reboot},
        {"default", "Log in, then restore the modules' factory defaults", CliAction::Default},
        {"firmware", "Log in, then update the modules' firmware from FILE", CliAction::Firmware},
        {"latest", "Log in, then update to the newest firmware of the firmware folder", CliAction::Latest},
        {"set", "Log in, then change the modules' network settings", CliAction::Set},
        {"backup", "Log in, then save each module's settings to DIR/<MAC>.json (secrets included)", CliAction::Backup},
        {"restore", "Log in, then give one module the settings saved in FILE", CliAction::Restore},
    };
    for (Entry& e : entries) {
        e.command = app.add_subcommand(e.name, e.help);
        AddCommon(e.command, action);
        e.command->footer(kFooter);
    }
    entries[3].command->add_option("FILE", action.firmwareFile, "Firmware file")->required()->check(kExistingFile);
    entries[3].command->add_flag("--allow-same-version", action.allowSameVersion,
                                 "Count a module that reports the same version after the update as done");
    entries[4].command->add_option("--firmware-folder", action.firmwareFolder,
                                   "Folder of the firmware list instead of the management software's");
    for (CLI::App* update : {entries[3].command, entries[4].command}) {
        update->add_option("--wave", action.firstWave,
                           "Update in waves: these many modules first, alone; the rest only once one of them has "
                           "ended well and none failed, at most 32 at a time")
            ->check(CLI::Range(1u, 100000u));
        update->add_flag("--stop-on-failure", action.stopOnFailure,
                         "Update in waves (a first wave of 1 unless --wave says otherwise) and start no further "
                         "module after any failed update; the modules not started are held");
    }
    CLI::App* set = entries[5].command;
    set->add_option("--name", action.set.name, "Module name");
    set->add_option_function<std::string>(
           "--dhcp", [&action](const std::string& v) { action.set.dhcp = v == "on"; }, "DHCP client: on or off")
        ->check(CLI::IsMember({"on", "off"}));
    set->add_option("--new-ip", action.set.ip, "New IPv4 address (also: the last of two --ip, or the one --ip "
                                               "after --all or --mac)");
    set->add_option("--mask", action.set.mask, "New subnet mask");
    set->add_option("--gateway", action.set.gateway, "New default gateway");
    set->add_option("--dns", action.set.dns, "New DNS server");
    set->add_option("--port", action.set.port, "Device port")->check(CLI::Range(1025u, 65535u));
    set->add_option("--new-user", action.set.newUser, "Login ID the module is to take");
    set->add_option("--new-password-env", action.set.newPasswordEnv, "Environment variable with the new password");
    auto* ipFrom = set->add_option("--ip-from", action.set.ipFrom,
                                   "Give the chosen modules consecutive addresses from this one, in MAC order "
                                   "(with --mask and --gateway; left out, each module keeps its own)");
    auto* plan = set->add_option("--plan", action.set.planFile,
                                 "Apply a plan: a CSV file of MAC and any of Name, IP, Mask, Gateway, DHCP "
                                 "(the exported list, edited)")
                     ->check(kExistingFile);
    ipFrom->excludes(plan);
    plan->excludes(ipFrom);
    set->add_flag("--dry-run", action.set.dryRun, "With --ip-from or --plan: print the plan, change nothing");
    AddSettingsFileOptions(entries[6].command, entries[7].command, action.settingsFile);

    // Names, paths and texts reach the program as UTF-8 and leave it so, whatever the console's code page.
    tarrowind::UseUtf8Console();
    std::vector<std::string> arguments = tarrowind::Utf8Arguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& a : arguments) {
        pointers.push_back(a.data());
    }
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::ParseError& e) {
        // Help and version end with 0; every other parse error is a usage error.
        return app.exit(e) == 0 ? 0 : tarrowind::kExitUsage;
    }

    if (searchCommand->parsed()) {
        return tarrowind::RunSearchCommand(search, std::cout, std::cerr);
    }
    // "--ip" both chooses modules and, for set, gives the new address: the last of two is the new one,
    // and a single one is the new one when the modules are chosen otherwise.
    if (set->parsed() && !action.set.ip && !action.set.ipFrom && !action.set.planFile && !action.ips.empty() &&
        (action.ips.size() >= 2 || action.all || !action.macs.empty())) {
        action.set.ip = action.ips.back();
        action.ips.pop_back();
    }
    for (const Entry& e : entries) {
        if (e.command->parsed()) {
            action.action = e.kind;
            // Stopped, a run ends its exchanges and removes its neighbour entries before it exits.
            tarrowind::CatchStopSignals();
            int code = tarrowind::RunActionCommand(action, std::cin, std::cout, std::cerr);
            if (const int stop = tarrowind::StopExitCode(); stop != 0) {
                std::cerr << "tarrowind-cli: stopped before the actions ended\n";
                code = stop;
            }
            tarrowind::ReleaseStopSignals();
            return code;
        }
    }
    return tarrowind::kExitUsage;
}
