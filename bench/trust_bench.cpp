// What checking the modules' keys costs: logins over HTTPS to many modules with the key check (first
// contact, then held to the remembered keys) against the same logins without it, in one run.
//   scripts/lab run --prefix twtrust -- build/release/bench/trust_bench [--modules N] [--rounds R]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/cpu_time.h"
#include "bench/lab_web_modules.h"
#include "operations/controller_manager.h"
#include "operations/known_modules.h"
#include "tests/e2e/lab_simulator.h"

namespace {

using namespace tarrowind;

struct Round {
    double wallS = 0;
    double cpuMs = 0;
    int ok = 0;
};

Round LoginAll(CControllerManager& manager, std::vector<std::unique_ptr<DeviceRecord>>& records)
{
    const double cpu = bench::ProcessCpuMs();
    const auto start = std::chrono::steady_clock::now();
    for (auto& r : records) {
        r->action = kActionSetLogin;
        r->status = kStatusQueueLogin;
        manager.QueueJob(r.get());
    }
    manager.WaitUntilIdle();
    Round round;
    round.wallS = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    round.cpuMs = bench::ProcessCpuMs() - cpu;
    for (auto& r : records) {
        round.ok += r->status == kStatusLoginSuccessfully ? 1 : 0;
    }
    return round;
}

}  // namespace

int main(int argc, char** argv)
{
    int modules = 500;
    int rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--modules") == 0) {
            modules = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = std::atoi(argv[i + 1]);
        }
    }
    if (!lab::InLab() || modules > 750 || modules < 1 || rounds < 1) {
        std::fprintf(stderr, "trust_bench runs in the lab with 1 to 750 modules: scripts/lab run -- %s\n", argv[0]);
        return 2;
    }
    lab::Simulator sim(bench::WebModules(modules, 3000));
    char folder[] = "/tmp/tarrowind-bench-known-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    KnownModules known(std::string(folder) + "/known-modules");
    ManagerTiming timing;
    timing.searchMs = 3000;
    CControllerManager plain(ManagerServices{}, timing);
    ManagerServices checkedServices;
    checkedServices.knownModules = &known;
    CControllerManager checked(checkedServices, timing);
    bench::Keeper keeper;
    plain.Init(nullptr, &keeper);
    plain.StartSearch();
    plain.WaitForSearch();
    for (auto& r : keeper.records) {
        r->userName = "admin";
        r->password = "admin";
    }
    std::printf("trust bench: lab, simulator in its own namespace, HTTPS (self-signed P-256), release build, "
                "%d workers\n",
                CControllerManager::kMaxWorkers);
    std::printf("found %zu of %d web modules; each round logs in to all of them\n", keeper.records.size(), modules);

    const Round first = LoginAll(checked, keeper.records);
    std::printf("key check, first contact (learn and write the file): %d logged in, wall %.2f s, CPU %.0f ms\n",
                first.ok, first.wallS, first.cpuMs);
    Round withCheck, without;
    for (int i = 0; i < rounds; ++i) {
        const Round a = LoginAll(plain, keeper.records);
        const Round b = LoginAll(checked, keeper.records);
        std::printf("round %d: without the check %d in %.2f s, CPU %.0f ms; held to the known keys %d in %.2f s, CPU %.0f ms\n",
                    i + 1, a.ok, a.wallS, a.cpuMs, b.ok, b.wallS, b.cpuMs);
        without.wallS += a.wallS, without.cpuMs += a.cpuMs;
        withCheck.wallS += b.wallS, withCheck.cpuMs += b.cpuMs;
    }
    const double n = static_cast<double>(keeper.records.size()) * rounds;
    std::printf("mean per login over %d rounds: without %.3f ms wall, %.3f ms CPU; with the key check %.3f ms wall, "
                "%.3f ms CPU; the check adds %.3f ms CPU per login (%.1f %%)\n",
                rounds, without.wallS * 1000 / n, without.cpuMs / n, withCheck.wallS * 1000 / n, withCheck.cpuMs / n,
                (withCheck.cpuMs - without.cpuMs) / n, 100.0 * (withCheck.cpuMs - without.cpuMs) / without.cpuMs);
    std::filesystem::remove_all(folder);
    return 0;
}
