// Search figures in the lab: modules found out of N over several runs, and the CPU time of one search.
//   scripts/lab run --prefix twbench -- build/release/bench/search_bench [--modules N] [--runs R]
//   build/release/bench/search_bench [--modules N] --write-config FILE   (the simulator config only)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "bench/cpu_time.h"
#include "operations/controller_manager.h"
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
    long bufferDrops;   // datagrams of this namespace dropped for full socket receive buffers
    long backlogDrops;  // frames dropped by the system's input queues (all namespaces)
};

// The "RcvbufErrors" counter of the UDP line of this network namespace's /proc/net/snmp.
long UdpReceiveBufferErrors()
{
    std::ifstream snmp("/proc/net/snmp");
    std::string names;
    std::string values;
    while (std::getline(snmp, names) && std::getline(snmp, values)) {
        if (names.rfind("Udp:", 0) != 0) {
            continue;
        }
        std::istringstream n(names);
        std::istringstream v(values);
        std::string name;
        std::string value;
        while (n >> name && v >> value) {
            if (name == "RcvbufErrors") {
                return std::atol(value.c_str());
            }
        }
    }
    return -1;
}

// The sum of the "dropped" column (the second) of /proc/net/softnet_stat over every CPU.
long BacklogDrops()
{
    std::ifstream stat("/proc/net/softnet_stat");
    long sum = 0;
    std::string processed;
    std::string dropped;
    std::string rest;
    while (stat >> processed >> dropped && std::getline(stat, rest)) {
        sum += std::stol(dropped, nullptr, 16);
    }
    return sum;
}

Result OneSearch()
{
    CControllerManager manager;
    Counter counter;
    manager.Init(nullptr, &counter);
    const long buffer0 = UdpReceiveBufferErrors();
    const long backlog0 = BacklogDrops();
    const double cpu0 = bench::ProcessCpuMs();
    const auto wall0 = std::chrono::steady_clock::now();
    manager.StartSearch();
    manager.WaitForSearch();
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall0).count();
    const double cpu = bench::ProcessCpuMs() - cpu0;
    return {counter.macs.size(), cpu, wall, UdpReceiveBufferErrors() - buffer0, BacklogDrops() - backlog0};
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
    // The burst needs the UDP side of the modules only; without web servers the simulator makes no
    // interface per module and starts at once.
    nlohmann::json config = lab::ManyModules(modules);
    for (nlohmann::json& m : config["modules"]) {
        m["webServer"] = false;
    }
    lab::Simulator sim(config);
    for (int run = 1; run <= runs; ++run) {
        const Result r = OneSearch();
        std::printf("%d modules, run %d: found %zu of %d, CPU %.1f ms (user+system), wall %.0f ms, kernel drops: "
                    "%ld for full receive buffers, %ld in input queues\n",
                    modules, run, r.found, modules, r.cpuMs, r.wallMs, r.bufferDrops, r.backlogDrops);
    }
    return 0;
}
