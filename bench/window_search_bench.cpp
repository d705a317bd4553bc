// The window's CPU time for one search in which N modules answer, in the lab: the window thread's and
// the whole process's, from the start of the search until its end has been shown.
//   scripts/lab run --prefix twbench -- env QT_QPA_PLATFORM=offscreen build/release/bench/window_search_bench
//       [--modules 5000] [--runs 3]
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/cpu_time.h"
#include "tests/e2e/lab_simulator.h"
#include "commands/declining_prompts.h"
#include "ui/controller_list_ctrl.h"
#include "ui/main_dialog.h"

namespace {

using namespace tarrowind;

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
    DecliningPrompts prompts;
    MainDialog window(ManagerServices{}, ManagerTiming{}, &prompts);
    window.show();
    WaitForSearchEnd(window);  // the search the window starts by itself

    std::printf("window search bench: lab pc namespace, simulator in its own namespace, %d modules on pc0's link\n"
                "  (each answers 2 probes), 5000 ms search, window shown on the %s platform, release build\n",
                modules, qPrintable(QGuiApplication::platformName()));
    for (int run = 1; run <= runs; ++run) {
        const double thread0 = bench::ThreadCpuMs();
        const double process0 = bench::ProcessCpuMs();
        QElapsedTimer wall;
        wall.start();
        window.RunCommand(MainDialog::kCommandSearch);
        WaitForSearchEnd(window);
        std::printf("run %d: %d rows of %d; window thread CPU %.0f ms, process CPU %.0f ms, wall %lld ms\n", run,
                    window.List().RowCount(), modules, bench::ThreadCpuMs() - thread0, bench::ProcessCpuMs() - process0,
                    static_cast<long long>(wall.elapsed()));
    }
    return 0;
}
