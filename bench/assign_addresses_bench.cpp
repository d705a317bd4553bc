// Assigning addresses to many modules at once in the lab: every simulated web module logged in, then one
// ChangeSettings for all of them through the queue's workers; how many come back at their new address
// logged in, and the wall time. With --shared-address every module starts on one factory address, so
// they are moved one after another, each reached by its MAC.
//   scripts/lab run --prefix twassign -- build/release/bench/assign_addresses_bench [--modules N]
//       [--restart-ms R] [--settle-ms S] [--shared-address]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "commands/address_plan.h"
#include "discovery/address_text.h"
#include "operations/controller_manager.h"
#include "tests/e2e/lab_simulator.h"

namespace {

using namespace tarrowind;

class Keeper final : public CoreEvents {
public:
    void OnModuleFound(const DeviceRecord& r) override { records.push_back(std::make_unique<DeviceRecord>(r)); }
    std::vector<std::unique_ptr<DeviceRecord>> records;
};

class CountingPrompts final : public CommandPrompts {
public:
    bool AskLogin(std::string& id, std::string& password) override
    {
        id = "admin";
        password = "admin";
        return true;
    }
    bool EditModuleSettings(ModuleSettings&) override { return false; }
    bool EditDactylSettings(DactylSettingValues&) override { return false; }
    bool AskFirmwareFile(DeviceRecord&, std::string&) override { return false; }
    void OpenAddress(const std::string&) override {}
    void AddressInUse(const DeviceRecord&) override {}
    void Skipped(const DeviceRecord&, SkipReason) override { ++skipped; }
    int skipped = 0;
};

constexpr const char* kFactoryAddress = "192.0.2.100";

// Web modules on pc0's link at 192.0.2.2 on (or all at the factory address); they move to 203.0.113.0/24,
// which the lab also keeps on that link (reached by the default route), so that none of the new addresses
// is taken.
nlohmann::json WebModules(int count, int restartMs, bool shared)
{
    nlohmann::json modules = nlohmann::json::array();
    for (int i = 0; i < count; ++i) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:44:00:00:%02X:%02X", (i >> 8) & 0xFF, i & 0xFF);
        modules.push_back(lab::Module("Web", mac, shared ? kFactoryAddress : "192.0.2." + std::to_string(2 + i)));
    }
    return {{"restartSilenceMs", restartMs}, {"modules", modules}};
}

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    int modules = 200;
    int restartMs = 300;
    int settleMs = static_cast<int>(ManagerTiming{}.settleMs);
    bool shared = false;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--shared-address") == 0) {
            shared = true;
        } else if (hasValue && std::strcmp(argv[i], "--modules") == 0) {
            modules = std::atoi(argv[++i]);
        } else if (hasValue && std::strcmp(argv[i], "--restart-ms") == 0) {
            restartMs = std::atoi(argv[++i]);
        } else if (hasValue && std::strcmp(argv[i], "--settle-ms") == 0) {
            settleMs = std::atoi(argv[++i]);
        }
    }
    if (!lab::InLab() || modules < 1 || modules > 250 || restartMs < 0 || settleMs < 0) {
        std::fprintf(stderr, "assign_addresses_bench runs in the lab with 1 to 250 modules: scripts/lab run -- %s\n",
                     argv[0]);
        return 2;
    }
    lab::Simulator sim(WebModules(modules, restartMs, shared));
    ManagerTiming timing;
    timing.searchMs = 3000;
    timing.settleMs = static_cast<std::uint32_t>(settleMs);
    CControllerManager manager(ManagerServices{}, timing);
    Keeper keeper;
    manager.Init(nullptr, &keeper);
    manager.StartSearch();
    manager.WaitForSearch();
    std::vector<DeviceRecord*> selected;
    for (auto& r : keeper.records) {
        selected.push_back(r.get());
    }
    CountingPrompts prompts;
    ModuleCommands commands(manager, prompts);
    auto start = std::chrono::steady_clock::now();
    commands.SetLogin(selected);
    manager.WaitUntilIdle();
    int loggedIn = 0;
    for (const DeviceRecord* r : selected) {
        loggedIn += ModuleCommands::IsLoggedIn(*r) ? 1 : 0;
    }
    std::printf("assign addresses bench: lab, simulator in its own namespace, HTTP, release build, %d workers\n",
                CControllerManager::kMaxWorkers);
    std::printf("simulator restart silence %d ms, settle wait after a setting %d ms, requery %u ms per try\n",
                restartMs, settleMs, timing.requeryMs);
    if (shared) {
        std::printf("every module starts on the one factory address %s: moved one after another, each reached "
                    "by its MAC through a static neighbour entry\n",
                    kFactoryAddress);
    }
    std::printf("found %zu of %d web modules, %d logged in (%.2f s)\n", selected.size(), modules, loggedIn,
                Since(start));

    const std::vector<const DeviceRecord*> listed(selected.begin(), selected.end());
    const AddressPlan plan = PlanAddresses(selected, listed, "203.0.113.1", "255.255.255.0", "203.0.113.254");
    if (plan.error != AddressPlanError::None) {
        std::fprintf(stderr, "%s\n", DescribeAddressPlanError(plan.error).c_str());
        return 1;
    }
    const auto changes = plan.Changes();
    start = std::chrono::steady_clock::now();
    commands.ChangeSettings(changes);
    manager.WaitUntilIdle();
    const double wall = Since(start);
    int back = 0;
    for (const auto& [r, change] : changes) {
        back += ModuleCommands::IsLoggedIn(*r) && r->ip == *change.ip && r->ipText == FormatIp(*change.ip) ? 1 : 0;
    }
    std::printf("addresses for %zu modules at once (203.0.113.1 on, one ChangeSettings): %d of %d back at their new "
                "address and logged in, %d skipped, wall %.2f s\n",
                changes.size(), back, modules, prompts.skipped, wall);
    return back == modules ? 0 : 1;
}
