// Search figures in the lab: modules found out of N over several runs, and the CPU time of one search.
//   scripts/lab run --prefix twbench -- build/release/bench/search_bench [--modules N] [--runs R]
//   build/release/bench/search_bench [--modules N] --write-config FILE   (the simulator config only)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "bench/cpu_time.h"
#include "discovery/controller_manager.h"
#include "tests/e2e/lab_simulator.h"

namespace {

using namespace tarrowind;

class Counter final : public CoreEvents {
public:
    void OnModuleFound(const DeviceRecord& record) override { macs.insert(record.macText); }
    std::set<std::string> macs;
};

struct Result {
    std::size_t found;
    double cpuMs;
    double wallMs;
};

Result OneSearch()
{
    CControllerManager manager;
    Counter counter;
    manager.Init(nullptr, &counter);
    const double cpu0 = bench::ProcessCpuMs();
    const auto wall0 = std::chrono::steady_clock::now();
    manager.StartSearch();
    manager.WaitForSearch();
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall0).count();
    return {counter.macs.size(), bench::ProcessCpuMs() - cpu0, wall};
}

}  // namespace

int main(int argc, char** argv)
{
    int modules = 1000;
    int runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--modules") == 0) {
            modules = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--write-config") == 0) {
            // The simulator's config of the bench for a run that starts it elsewhere (the Windows bench).
            std::FILE* file = std::fopen(argv[i + 1], "w");
            const std::string text = lab::ManyModules(modules).dump();
            const bool written = file != nullptr && std::fputs(text.c_str(), file) >= 0;
            return file != nullptr && std::fclose(file) == 0 && written ? 0 : 1;
        }
    }
    if (!lab::InLab()) {
        std::fprintf(stderr, "search_bench runs in the lab: scripts/lab run -- %s\n", argv[0]);
        return 2;
    }

    std::printf("search bench: lab pc namespace, 2 adapters + Broadcast, simulator in its own namespace,\n"
                "  all modules on pc0's link (each answers 2 probes), 5000 ms search, release build\n");
    {
        const Result idle = OneSearch();
        std::printf("0 modules: found %zu, CPU %.1f ms (user+system), wall %.0f ms\n", idle.found, idle.cpuMs,
                    idle.wallMs);
    }
    lab::Simulator sim(lab::ManyModules(modules));
    for (int run = 1; run <= runs; ++run) {
        const Result r = OneSearch();
        std::printf("%d modules, run %d: found %zu of %d, CPU %.1f ms (user+system), wall %.0f ms\n", modules, run,
                    r.found, modules, r.cpuMs, r.wallMs);
    }
    return 0;
}
