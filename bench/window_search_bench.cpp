// The window's CPU time for one search in which N modules answer, in the lab: the window thread's and
// the whole process's, from the start of the search until its end has been shown.
//   scripts/lab run --prefix twbench -- env QT_QPA_PLATFORM=offscreen build/release/bench/window_search_bench
//       [--modules 5000] [--runs 3]
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/thread_cpu.h"
#include "tests/e2e/lab_simulator.h"
#include "ui/controller_list_ctrl.h"
#include "ui/main_dialog.h"

namespace {

using namespace tarrowind;

double ProcessCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct NoPrompts final : CommandPrompts {
    bool AskLogin(std::string&, std::string&) override { return false; }
    bool EditModuleSettings(ModuleSettings&) override { return false; }
    bool EditDactylSettings(DactylSettingValues&) override { return false; }
    bool AskFirmwareFile(DeviceRecord&, std::string&) override { return false; }
    void OpenAddress(const std::string&) override {}
    void AddressInUse(const DeviceRecord&) override {}
};

// Runs the window's event loop, idle between events, until the search has ended.
void WaitForSearchEnd(MainDialog& window)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (!window.IsSearching() && !window.Manager().IsSearching()) {
            loop.quit();
        }
    });
    check.start(20);
    loop.exec();
    QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv)
{
    int modules = 5000;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--modules") == 0) {
            modules = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::atoi(argv[i + 1]);
        }
    }
    if (!lab::InLab()) {
        std::fprintf(stderr, "window_search_bench runs in the lab: scripts/lab run -- %s\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    lab::Simulator sim(lab::ManyModules(modules));
    NoPrompts prompts;
    MainDialog window(ManagerServices{}, ManagerTiming{}, &prompts);
    window.show();
    WaitForSearchEnd(window);  // the search the window starts by itself

    std::printf("window search bench: lab pc namespace, simulator in its own namespace, %d modules on pc0's link\n"
                "  (each answers 2 probes), 5000 ms search, window shown on the %s platform, release build\n",
                modules, qPrintable(QGuiApplication::platformName()));
    for (int run = 1; run <= runs; ++run) {
        const double thread0 = bench::ThreadCpuMs();
        const double process0 = ProcessCpuMs();
        QElapsedTimer wall;
        wall.start();
        window.RunCommand(MainDialog::kCommandSearch);
        WaitForSearchEnd(window);
        std::printf("run %d: %d rows of %d; window thread CPU %.0f ms, process CPU %.0f ms, wall %lld ms\n", run,
                    window.List().RowCount(), modules, bench::ThreadCpuMs() - thread0, ProcessCpuMs() - process0,
                    static_cast<long long>(wall.elapsed()));
    }
    return 0;
}
