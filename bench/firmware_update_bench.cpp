// Updating many modules at once in the lab: every simulated module gets a new firmware through the
// queue, writes it at a flash pace, restarts, and must come back logged in with the new version.
//   scripts/lab run --prefix twbench -- build/release/bench/firmware_update_bench [--modules N]
//       [--firmware-mib M] [--write-kib-s K]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/lab_web_modules.h"

using namespace tarrowind;
using bench::kNewVersion;
using bench::WriteFirmware;

int main(int argc, char** argv)
{
    int modules = 500;
    int firmwareMib = 4;
    // Erasing and programming the serial flash of such a module runs at about 100 to 200 KiB/s.
    int writeKibPerS = 128;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--modules") == 0) {
            modules = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--firmware-mib") == 0) {
            firmwareMib = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--write-kib-s") == 0) {
            writeKibPerS = std::atoi(argv[i + 1]);
        }
    }
    if (!lab::InLab() || modules < 1 || modules > 750 || firmwareMib < 1 || writeKibPerS < 1) {
        std::fprintf(stderr, "firmware_update_bench runs in the lab with 1 to 750 modules: scripts/lab run -- %s\n",
                     argv[0]);
        return 2;
    }
    const int writeMs = static_cast<int>(static_cast<long long>(firmwareMib) * 1024 * 1000 / writeKibPerS);
    nlohmann::json config = bench::WebModules(modules, writeMs);
    config["restartSilenceMs"] = 3000;  // a module is silent this long while it restarts
    lab::Simulator sim(config);
    ManagerTiming timing;
    timing.searchMs = 3000;
    CControllerManager manager(ManagerServices{}, timing);
    bench::Keeper keeper;
    manager.Init(nullptr, &keeper);
    manager.StartSearch();
    manager.WaitForSearch();
    std::printf("firmware update bench: lab, simulator in its own namespace, HTTPS (self-signed), release build,\n"
                "  %d MiB image written by each module at %d KiB/s (%d ms), 3000 ms restart, %d workers\n",
                firmwareMib, writeKibPerS, writeMs, CControllerManager::kMaxWorkers);
    std::printf("found %zu of %d web modules\n", keeper.records.size(), modules);

    bench::QueueLogins(manager, keeper.records);
    manager.WaitUntilIdle();
    const std::string firmware = WriteFirmware(firmwareMib);
    if (firmware.empty()) {
        std::perror("firmware file");
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    int queued = 0;
    for (auto& r : keeper.records) {
        if (r->status != kStatusLoginSuccessfully) {
            continue;
        }
        r->action = kActionFirmwareUpdate;
        r->status = kStatusQueueFirmwareUpdate;
        r->firmwareFile = firmware;
        manager.QueueJob(r.get());
        ++queued;
    }
    manager.WaitUntilIdle();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::unlink(firmware.c_str());
    int updated = 0;
    for (auto& r : keeper.records) {
        updated += r->action == kActionNone && r->status == kStatusLoginSuccessfully && r->version == kNewVersion;
    }
    std::printf("%d modules queued for the update: %d back at LOGIN_SUCCESSFULLY with %s, wall %.1f s, "
                "%.1f modules per minute\n",
                queued, updated, kNewVersion, wall, updated / wall * 60.0);
    return updated == modules ? 0 : 1;
}
