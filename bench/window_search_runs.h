#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

#include <cstdio>

#include "bench/cpu_time.h"
#include "ui/device_list/controller_list_ctrl.h"
#include "ui/main_window/main_dialog.h"

namespace tarrowind::bench {

// Runs the window's event loop, idle between events, until the search has ended.
inline void WaitForSearchEnd(MainDialog& window)
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

// The window's CPU time for `runs` searches in which `modules` answer, after the search it starts by
// itself when shown: the window thread's and the whole process's, from the start of each search until its
// end has been shown. `system` names the build and how it runs.
inline void MeasureWindowSearches(MainDialog& window, int modules, int runs, const char* system)
{
    window.show();
    WaitForSearchEnd(window);
    std::printf("window search bench (%s): lab pc namespace, simulator in its own namespace, %d modules on pc0's\n"
                "  link (each answers 2 probes), 5000 ms search, window shown on the %s platform\n",
                system, modules, qPrintable(QGuiApplication::platformName()));
    for (int run = 1; run <= runs; ++run) {
        const double thread0 = ThreadCpuMs();
        const double process0 = ProcessCpuMs();
        QElapsedTimer wall;
        wall.start();
        window.RunCommand(MainDialog::kCommandSearch);
        WaitForSearchEnd(window);
        std::printf("run %d: %d rows of %d; window thread CPU %.0f ms, process CPU %.0f ms, wall %lld ms\n", run,
                    window.List().RowCount(), modules, ThreadCpuMs() - thread0, ProcessCpuMs() - process0,
                    static_cast<long long>(wall.elapsed()));
        std::fflush(stdout);
    }
}

}  // namespace tarrowind::bench
