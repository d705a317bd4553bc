// A firmware rollout in waves in the lab: a first wave of one module, then the rest as wide as the queue,
// with one module of the second wave refusing the upload. Counts the updates started, held and done.
//   scripts/lab run --prefix twbench -- build/release/bench/update_waves_bench [--modules N]
//       [--failing K] [--firmware-mib M] [--write-kib-s K]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/lab_web_modules.h"
#include "operations/update_waves.h"

using namespace tarrowind;
using bench::kNewVersion;
using bench::WriteFirmware;

int main(int argc, char** argv)
{
    int modules = 200;
    int failing = 10;  // place in the rollout (MAC order) of the module that refuses its upload
    int firmwareMib = 1;
    int writeKibPerS = 128;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--modules") == 0) {
            modules = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--failing") == 0) {
            failing = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--firmware-mib") == 0) {
            firmwareMib = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--write-kib-s") == 0) {
            writeKibPerS = std::atoi(argv[i + 1]);
        }
    }
    if (!lab::InLab() || modules < 2 || modules > 750 || failing < 1 || failing >= modules || firmwareMib < 1 ||
        writeKibPerS < 1) {
        std::fprintf(stderr, "update_waves_bench runs in the lab with 2 to 750 modules and 1 <= failing < modules: "
                             "scripts/lab run -- %s\n", argv[0]);
        return 2;
    }
    const int writeMs = static_cast<int>(static_cast<long long>(firmwareMib) * 1024 * 1000 / writeKibPerS);
    nlohmann::json config = bench::WebModules(modules, writeMs);
    config["restartSilenceMs"] = 3000;
    // WebModules numbers the MACs in order, so the module at place `failing` of the MAC order is this one.
    config["modules"][failing]["faults"] = {{"refuse", {"Upload"}}};
    const std::string failingMac = config["modules"][failing]["mac"];
    lab::Simulator sim(config);
    ManagerTiming timing;
    timing.searchMs = 3000;
    UpdateWaves waves;  // outlives the manager's workers
    CControllerManager manager(ManagerServices{}, timing);
    bench::Keeper keeper;
    manager.Init(nullptr, &keeper);
    manager.StartSearch();
    manager.WaitForSearch();
    std::printf("update waves bench: lab, simulator in its own namespace, HTTPS (self-signed), release build,\n"
                "  %d MiB image written by each module at %d KiB/s (%d ms), 3000 ms restart, %d workers,\n"
                "  first wave 1, then at most %zu in flight, stop at the first failure;\n"
                "  module %d of the rollout (%s) refuses its upload\n",
                firmwareMib, writeKibPerS, writeMs, CControllerManager::kMaxWorkers, UpdateWaves::kWaveWidth, failing,
                failingMac.c_str());
    std::printf("found %zu of %d web modules\n", keeper.records.size(), modules);

    bench::QueueLogins(manager, keeper.records);
    manager.WaitUntilIdle();
    const std::string firmware = WriteFirmware(firmwareMib);
    if (firmware.empty()) {
        std::perror("firmware file");
        return 1;
    }
    std::sort(keeper.records.begin(), keeper.records.end(),
              [](const auto& a, const auto& b) { return a->macText < b->macText; });
    std::vector<DeviceRecord*> batch;
    for (auto& r : keeper.records) {
        if (r->status != kStatusLoginSuccessfully) {
            continue;
        }
        r->action = kActionFirmwareUpdate;
        r->status = kStatusQueueFirmwareUpdate;
        r->firmwareFile = firmware;
        batch.push_back(r.get());
    }
    const auto start = std::chrono::steady_clock::now();
    waves.Begin(manager, batch, WaveOptions{1, true, false});
    manager.WaitUntilIdle();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::unlink(firmware.c_str());
    int started = 0, held = 0, updated = 0, failed = 0;
    for (const DeviceRecord* r : batch) {
        started += !r->versionBefore.empty();
        held += r->failureReason == FailureReason::Held;
        updated += r->action == kActionNone && r->status == kStatusLoginSuccessfully && r->version == kNewVersion;
        failed += IsFailureStatus(r->status);
    }
    std::printf("%zu modules in the rollout: %d started, %d held, %d updated to %s, %d failed; wall %.1f s\n",
                batch.size(), started, held, updated, kNewVersion, failed, wall);
    return started + held == static_cast<int>(batch.size()) && failed == 1 ? 0 : 1;
}
