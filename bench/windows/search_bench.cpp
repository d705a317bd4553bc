// Search figures of the Windows build under Wine in the lab: modules found out of N over several runs,
// and the CPU time of one search. The simulator is started by the lab with the Linux bench's config:
//   build/release/bench/search_bench --modules 1000 --write-config many.json
//   scripts/lab run --sim build/release/tools/sim/tarrowind-sim --sim-config many.json
//     -- scripts/wine-run build/windows/bench/windows/search_bench.exe --modules 1000
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "bench/cpu_time.h"
#include "operations/controller_manager.h"

namespace {

using namespace tarrowind;

class Counter final : public CoreEvents {
public:
    void OnModuleFound(const DeviceRecord& record) override { macs.insert(record.macText); }
    std::set<std::string> macs;
};

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
        }
    }
    std::printf("search bench (Windows build under Wine): lab pc namespace, 2 adapters + Broadcast, simulator in\n"
                "  its own namespace, %d modules on pc0's link (each answers 2 probes), 5000 ms search\n", modules);
    for (int run = 1; run <= runs; ++run) {
        CControllerManager manager;
        Counter counter;
        manager.Init(nullptr, &counter);
        const double cpu0 = bench::ProcessCpuMs();
        const auto wall0 = std::chrono::steady_clock::now();
        manager.StartSearch();
        manager.WaitForSearch();
        const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall0).count();
        std::printf("%d modules, run %d: found %zu of %d, CPU %.1f ms (user+system), wall %.0f ms\n", modules, run,
                    counter.macs.size(), modules, bench::ProcessCpuMs() - cpu0, wall);
        std::fflush(stdout);
    }
    return 0;
}
