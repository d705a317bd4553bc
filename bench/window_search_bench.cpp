// The window's CPU time for one search in which N modules answer, in the lab: the window thread's and
// the whole process's, from the start of the search until its end has been shown.
//   scripts/lab run --prefix twbench -- env QT_QPA_PLATFORM=offscreen build/release/bench/window_search_bench
//       [--modules 5000] [--runs 3]
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/window_search_runs.h"
#include "commands/declining_prompts.h"
#include "tests/e2e/lab_simulator.h"

int main(int argc, char** argv)
{
    using namespace tarrowind;
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
    bench::MeasureWindowSearches(window, modules, runs, "Linux build, release");
    return 0;
}
