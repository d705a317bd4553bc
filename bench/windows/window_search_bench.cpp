// The Windows window's CPU time for one search in which N modules answer, under Wine in the lab. The
// simulator is started by the lab with the Linux search bench's config:
//   build/release/bench/search_bench --modules 1000 --write-config many.json
//   scripts/lab run --sim build/release/tools/sim/tarrowind-sim --sim-config many.json
//     -- scripts/wine-run build/windows/bench/windows/window_search_bench.exe --modules 1000 -platform offscreen
#include <QApplication>

#include <cstdlib>
#include <cstring>

#include "bench/window_search_runs.h"
#include "commands/declining_prompts.h"

int main(int argc, char** argv)
{
    using namespace tarrowind;
    int modules = 1000;
    int runs = 3;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--modules") == 0) {
            modules = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::atoi(argv[i + 1]);
        }
    }
    QApplication app(argc, argv);
    DecliningPrompts prompts;
    MainDialog window(ManagerServices{}, ManagerTiming{}, &prompts);
    bench::MeasureWindowSearches(window, modules, runs, "Windows build under Wine, release");
    return 0;
}
