// Job-queue figures in the lab: logging in to many modules over HTTPS, and the memory of 32 parallel
// firmware uploads.
//   scripts/lab run --prefix twbench -- build/release/bench/operations_bench [--modules N] [--firmware-mib M]
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include "operations/controller_manager.h"
#include "bench/lab_web_modules.h"
#include "tests/e2e/lab_simulator.h"

namespace {

using namespace tarrowind;

// Runs the queued jobs and samples how many workers are busy while work is queued.
double RunAndSampleWorkers(CControllerManager& manager)
{
    std::atomic<bool> done{false};
    double sum = 0;
    long samples = 0;
    std::thread sampler([&] {
        while (!done) {
            if (manager.GetJobCount() > manager.GetRunningCount()) {
                sum += manager.GetRunningCount();
                ++samples;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    manager.WaitUntilIdle();
    done = true;
    sampler.join();
    return samples == 0 ? 0.0 : sum / static_cast<double>(samples);
}

}  // namespace

int main(int argc, char** argv)
{
    int modules = 500;
    int firmwareMib = 16;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--modules") == 0) {
            modules = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--firmware-mib") == 0) {
            firmwareMib = std::atoi(argv[i + 1]);
        }
    }
    if (!lab::InLab() || modules > 750 || modules < 32) {
        std::fprintf(stderr, "operations_bench runs in the lab with 32 to 750 modules: scripts/lab run -- %s\n", argv[0]);
        return 2;
    }
    lab::Simulator sim(bench::WebModules(modules, 3000));
    ManagerTiming timing;
    timing.searchMs = 3000;
    CControllerManager manager(ManagerServices{}, timing);
    bench::Keeper keeper;
    manager.Init(nullptr, &keeper);
    manager.StartSearch();
    manager.WaitForSearch();
    std::printf("operations bench: lab, simulator in its own namespace, HTTPS (self-signed), release build\n");
    std::printf("found %zu of %d web modules\n", keeper.records.size(), modules);

    const auto start = std::chrono::steady_clock::now();
    bench::QueueLogins(manager, keeper.records);
    const double busy = RunAndSampleWorkers(manager);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int ok = 0;
    for (auto& r : keeper.records) {
        ok += r->status == kStatusLoginSuccessfully ? 1 : 0;
    }
    std::printf("login of %zu modules over HTTPS: %d logged in, wall %.2f s, workers busy while work was queued: "
                "%.1f of %d on average\n",
                keeper.records.size(), ok, wall, busy, CControllerManager::kMaxWorkers);

    char path[] = "/tmp/tarrowind-bench-fw-XXXXXX";
    const int fd = ::mkstemp(path);
    const std::string chunk(1 << 20, 'f');
    for (int i = 0; i < firmwareMib; ++i) {
        if (::write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) {
            std::perror("write");
            return 1;
        }
    }
    ::close(fd);
    const long before = bench::ProcStatusKib("VmRSS");
    int queued = 0;
    for (auto& r : keeper.records) {
        if (queued == CControllerManager::kMaxWorkers || r->status != kStatusLoginSuccessfully) {
            continue;
        }
        r->action = kActionFirmwareUpdate;
        r->status = kStatusQueueFirmwareUpdate;
        r->firmwareFile = path;
        manager.QueueJob(r.get());
        ++queued;
    }
    manager.WaitUntilIdle();
    ::unlink(path);
    int updated = 0;
    for (auto& r : keeper.records) {
        updated += r->action == kActionNone && r->status == kStatusLoginSuccessfully && !r->firmwareFile.empty() ? 1 : 0;
    }
    std::printf("%d modules receiving a %d MiB firmware file at once: %d updated and back; resident memory before "
                "%.1f MiB, peak of the process %.1f MiB (one copy per upload would be %d MiB)\n",
                queued, firmwareMib, updated, before / 1024.0, bench::ProcStatusKib("VmHWM") / 1024.0, queued * firmwareMib);
    return 0;
}
