// Range search figures in the lab with its router: routed modules found out of N, wall time, probes.
//   scripts/lab run --router --prefix twbench -- build/release/bench/range_search_bench [--modules N]
//       [--rate R] [--runs K]
// Only the lab's TEST-NET blocks are ever probed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include "operations/controller_manager.h"
#include "tests/e2e/lab_simulator.h"

namespace {

using namespace tarrowind;
using Clock = std::chrono::steady_clock;

class Counter final : public CoreEvents {
public:
    explicit Counter(Clock::time_point start) : m_start(start) {}
    void OnModuleFound(const DeviceRecord& record) override
    {
        if (record.routed) {
            routed.insert(record.macText);
            lastRoutedMs = std::chrono::duration<double, std::milli>(Clock::now() - m_start).count();
        }
        all.insert(record.macText);
    }
    std::set<std::string> routed, all;
    double lastRoutedMs = 0;

private:
    Clock::time_point m_start;
};

void OneSearch(const char* text, std::uint32_t rate, int expected, int run)
{
    AddressRanges ranges;
    const RangeParse parse = ParseAddressRanges(text, ranges);
    if (parse.error != RangeError::None) {
        std::fprintf(stderr, "%s\n", DescribeRangeError(parse).c_str());
        std::exit(2);
    }
    CControllerManager manager;
    if (!manager.SetSearchRanges(ranges, rate)) {
        std::fprintf(stderr, "rate %u refused\n", rate);
        std::exit(2);
    }
    const auto start = Clock::now();
    Counter counter(start);
    manager.Init(nullptr, &counter);
    manager.StartSearch();
    manager.WaitForSearch();
    const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("  %-48s run %d: %llu addresses, found %zu of %d routed (%zu listed in all), last routed after "
                "%.0f ms; %llu of %llu probes sent in %u ms (%u planned) at %u/s; search %u ms planned, wall %.0f ms\n",
                text, run, static_cast<unsigned long long>(ranges.Count()), counter.routed.size(), expected,
                counter.all.size(), counter.lastRoutedMs, static_cast<unsigned long long>(manager.RangeProbesSent()),
                static_cast<unsigned long long>(2 * ranges.Count()), manager.RangeProbingTookMs(), manager.ProbingMs(),
                rate, manager.SearchDurationMs(), wall);
}

}  // namespace

int main(int argc, char** argv)
{
    int modules = 20;
    std::uint32_t rate = kDefaultProbeRate;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--modules") == 0) {
            modules = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--rate") == 0) {
            rate = static_cast<std::uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
        } else if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::atoi(argv[i + 1]);
        }
    }
    if (!lab::InLab() || !lab::HasRouter()) {
        std::fprintf(stderr, "range_search_bench runs in the lab with its router: scripts/lab run --router -- %s\n",
                     argv[0]);
        return 2;
    }
    if (modules < 1 || modules > lab::kMaxRoutedModules) {
        std::fprintf(stderr, "--modules: 1 to %d\n", lab::kMaxRoutedModules);
        return 2;
    }
    lab::Simulator sim(lab::RoutedModules(modules));
    std::printf("range search bench: lab pc namespace (2 adapters + Broadcast), %d modules of three kinds behind\n"
                "  the router on 203.0.113.128/26 (no broadcast reaches them), simulator in its own namespace,\n"
                "  default search time 5000 ms and 2000 ms listening after the last probe, release build.\n"
                "  A /22 of TEST-NET addresses does not exist; the three TEST-NET /24 blocks stand in for it.\n",
                modules);
    for (int run = 1; run <= runs; ++run) {
        OneSearch(lab::kRoutedRange, rate, modules, run);
    }
    for (int run = 1; run <= runs; ++run) {
        OneSearch("192.0.2.0/24, 198.51.100.0/24, 203.0.113.0/24", rate, modules, run);
    }
    return 0;
}
