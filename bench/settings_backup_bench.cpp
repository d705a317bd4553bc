// Saving the settings of many modules, and a replacement taking one module's settings, in the lab: every
// simulated web module logged in, then one backup run over all of them (the reads at most 32 at once,
// as the queue's workers); the wall time and the files written. Then module 0 fails: a spare of the same
// model with a new MAC takes its file, address included, through one Setting, and is read back value by
// value.
//   scripts/lab run --prefix twbackup -- build/release/bench/settings_backup_bench [--modules N] [--out DIR]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "bench/lab_web_modules.h"
#include "commands/module_commands.h"
#include "commands/settings_backup.h"
#include "commands/settings_backup_run.h"
#include "commands/settings_restore.h"
#include "discovery/address_text.h"
#include "platform/private_file.h"

namespace {

using namespace tarrowind;

constexpr const char* kSpareMac = "02:45:00:00:00:01";

// Logs every module in and restores one file, as the window's user would with the file's preview taken.
class BenchPrompts final : public CommandPrompts {
public:
    bool AskLogin(std::string& id, std::string& password) override
    {
        id = "admin";
        password = "admin";
        return true;
    }
    bool EditModuleSettings(ModuleSettings& s) override
    {
        if (restore == nullptr) {
            return false;
        }
        ApplyRestore(*restore, true, s);
        return true;
    }
    bool EditDactylSettings(DactylSettingValues&) override { return false; }
    bool AskFirmwareFile(DeviceRecord&, std::string&) override { return false; }
    void OpenAddress(const std::string&) override {}
    void AddressInUse(const DeviceRecord&) override {}
    const ModuleSettings* restore = nullptr;
};

// Values of their own for every module, so that a file mixed up with another's shows.
nlohmann::json Modules(int count)
{
    nlohmann::json config = bench::WebModules(count, 1500);
    int i = 0;
    for (nlohmann::json& m : config["modules"]) {
        char code[17];
        std::snprintf(code, sizeof code, "%016X", 0x51000000u + static_cast<unsigned>(i));
        m.update({{"name", "Door " + std::to_string(i)}, {"des1", code}, {"des2", std::string(code).substr(8) + "AA"},
                  {"des3", "3" + std::string(code)}, {"ddns", 1}, {"hostName", "door" + std::to_string(i) + ".example"},
                  {"ddnsUser", "site"}, {"ddnsPassword", "pw-" + std::to_string(i)}, {"sendToServer", 0},
                  {"devicePort", 4001 + i}});
        ++i;
    }
    return config;
}

struct Found {
    CControllerManager manager;
    bench::Keeper keeper;
    BenchPrompts prompts;
    ModuleCommands commands{manager, prompts};
    int loggedIn = 0;

    explicit Found(const ManagerTiming& timing) : manager(ManagerServices{}, timing)
    {
        manager.Init(nullptr, &keeper);
        manager.StartSearch();
        manager.WaitForSearch();
        commands.SetLogin(Records());
        manager.WaitUntilIdle();
        for (const DeviceRecord* r : Records()) {
            loggedIn += ModuleCommands::IsLoggedIn(*r) ? 1 : 0;
        }
    }
    std::vector<DeviceRecord*> Records()
    {
        std::vector<DeviceRecord*> all;
        for (auto& r : keeper.records) {
            all.push_back(r.get());
        }
        return all;
    }
};

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    int modules = 500;
    std::string out = (std::filesystem::temp_directory_path() / "tarrowind-backup-bench").string();
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--modules") == 0) {
            modules = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--out") == 0) {
            out = argv[++i];
        }
    }
    if (!lab::InLab() || modules < 2 || modules > 750) {
        std::fprintf(stderr, "settings_backup_bench runs in the lab with 2 to 750 modules: scripts/lab run -- %s\n",
                     argv[0]);
        return 2;
    }
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out + "/after");
    nlohmann::json config = Modules(modules);
    lab::Simulator sim(config);
    ManagerTiming timing;
    timing.searchMs = 5000;
    timing.settleMs = 1000;

    auto start = std::chrono::steady_clock::now();
    auto site = std::make_unique<Found>(timing);
    std::printf("settings backup bench: lab, simulator in its own namespace, HTTPS, release build, reads at most "
                "%d at once\n",
                CControllerManager::kMaxWorkers);
    std::printf("found %zu of %d web modules, %d logged in (%.2f s)\n", site->keeper.records.size(), modules,
                site->loggedIn, Since(start));

    start = std::chrono::steady_clock::now();
    SettingsBackupRun run(site->manager, out, std::chrono::system_clock::now());
    int skipped = 0;
    for (DeviceRecord* r : site->Records()) {
        skipped += run.Add(*r) ? 1 : 0;
    }
    run.Run();
    run.Release();
    const double wall = Since(start);
    int saved = 0;
    for (const ModuleBackup& b : run.Modules()) {
        saved += b.Saved() ? 1 : 0;
    }
    std::size_t files = 0, bytes = 0;
    bool ownerOnly = true;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        if (entry.is_regular_file()) {
            ++files;
            bytes += entry.file_size();
            ownerOnly = ownerOnly && (entry.status().permissions() & std::filesystem::perms::all) ==
                                         (std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        }
    }
    std::printf("backup of %d modules into %s: %d saved, %d skipped, %zu files written (%zu bytes, %s), wall "
                "%.2f s (%.1f ms a module)\n",
                modules, out.c_str(), saved, skipped, files, bytes, ownerOnly ? "all owner-only" : "NOT all owner-only",
                wall, wall * 1000.0 / std::max(saved, 1));
    site.reset();

    // Module 0 fails; its spare, same model, another MAC, on another address, takes its file.
    const nlohmann::json failed = config["modules"][0];
    const std::string file = out + "/" + SettingsBackupFileName(ParseMacText(failed["mac"].get<std::string>()));
    nlohmann::json spare = lab::Module("Web", kSpareMac, "192.0.2.253");
    spare["useHttps"] = true;
    config["modules"][0] = spare;
    sim.Reload(config);
    const BackupRead read = ReadSettingsBackup(ReadPrivateFile(file).value_or(""));
    if (read.error != BackupReadError::None) {
        std::fprintf(stderr, "%s: %s\n", file.c_str(), DescribeBackupReadError(read).c_str());
        return 1;
    }
    auto replaced = std::make_unique<Found>(timing);
    DeviceRecord* target = nullptr;
    std::vector<const DeviceRecord*> listed;
    for (DeviceRecord* r : replaced->Records()) {
        listed.push_back(r);
        target = r->macText == kSpareMac ? r : target;
    }
    if (target == nullptr || RestoreRefusal(read.backup, *target) ||
        !CheckRestoreAddressing(*target, read.backup.settings, listed).Usable()) {
        std::fprintf(stderr, "the spare was not found, or refused the file\n");
        return 1;
    }
    replaced->prompts.restore = &read.backup.settings;
    start = std::chrono::steady_clock::now();
    replaced->commands.Setting({target});
    replaced->manager.WaitUntilIdle();
    const double restoreWall = Since(start);
    const bool back = ModuleCommands::IsLoggedIn(*target) && target->ip == read.backup.settings.ip;

    SettingsBackupRun check(replaced->manager, out + "/after", std::chrono::system_clock::now());
    check.Add(*target);
    check.Run();
    check.Release();
    const std::string afterFile = out + "/after/" + SettingsBackupFileName(target->mac);
    const BackupRead after = ReadSettingsBackup(ReadPrivateFile(afterFile).value_or(""));
    int same = 0, fields = 0;
    for (const RestoreField& f : PreviewRestore(read.backup.settings, after.backup.settings, true)) {
        ++fields;
        same += f.state == RestoreFieldState::Unchanged ? 1 : 0;
        if (f.state != RestoreFieldState::Unchanged) {
            std::printf("  differs: %s\n", f.field);
        }
    }
    std::printf("restore of %s's file onto spare %s (same model, one Setting with the network values, module "
                "silent %d ms after its restart, settle %u ms): %s at %s, wall %.2f s; read back: %d of %d values "
                "equal the file's, MAC in the new file %s\n",
                read.backup.mac.c_str(), kSpareMac, config["restartSilenceMs"].get<int>(), timing.settleMs,
                back ? "back logged in" : "NOT back logged in", target->ipText.c_str(), restoreWall, same, fields,
                after.backup.mac.c_str());
    std::filesystem::remove_all(out);
    return saved == modules && files == static_cast<std::size_t>(modules) && back && same == fields ? 0 : 1;
}
