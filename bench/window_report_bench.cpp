// The window's share of the workers' reports: N rows, W workers each reporting every I ms, the window
// shown (offscreen) so that every report repaints its row.
//   QT_QPA_PLATFORM=offscreen build/release/bench/window_report_bench [--rows 5000] [--workers 32]
//       [--interval-ms 10] [--seconds 5]
#include <QApplication>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "bench/cpu_time.h"
#include "tests/unit/fakes/fake_system.h"
#include "commands/declining_prompts.h"
#include "ui/device_list/controller_list_ctrl.h"
#include "ui/main_window/main_dialog.h"

namespace {

using namespace tarrowind;

struct Figures {
    long reports;
    double windowCpuMs;
    double wallMs;
};

// Fills the list, lets the workers report for `seconds`, and measures the window thread.
Figures Run(MainDialog& window, int rows, int workers, int intervalMs, int seconds, bool selectAll)
{
    CControllerListCtrl& list = window.List();
    list.Clear();
    for (int i = 0; i < rows; ++i) {
        DeviceRecord r;
        char text[32];
        std::snprintf(text, sizeof text, "02:42:00:00:%02X:%02X", (i >> 8) & 0xFF, i & 0xFF);
        r.macText = text;
        std::snprintf(text, sizeof text, "192.0.%d.%d", 2 + i / 250, 2 + i % 250);
        r.ipText = text;
        r.model = "QT-DC410";
        r.version = "V3.10R2";
        r.name = "Door " + std::to_string(i);
        r.maskText = "255.255.255.0";
        r.adapterName = "pc0";
        r.status = kStatusLoginSuccessfully;
        list.AddModule(&r);
    }
    list.FlushPendingRows();
    if (selectAll) {
        list.SelectAll();
    }
    QCoreApplication::processEvents();

    // As the real workers do: each changes its own records and reports, blocked until the window has it.
    std::atomic<bool> stop{false};
    std::atomic<long> reports{0};
    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back([&, w] {
            int row = w;
            while (!stop) {
                DeviceRecord* record = list.RecordAt(row);
                record->action = kActionFirmwareUpdate;
                record->status = kStatusFirmwareUpdating;
                record->progress = (record->progress + 1) % 101;
                Report(*record);
                ++reports;
                row = row + workers < rows ? row + workers : w;
                std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
            }
            ++finished;
        });
    }
    const double cpu0 = bench::ThreadCpuMs();
    const auto wall0 = std::chrono::steady_clock::now();
    QTimer::singleShot(seconds * 1000, [&] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    const double cpu = bench::ThreadCpuMs() - cpu0;
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall0).count();
    const long counted = reports.load();
    // The workers still blocked in a report are answered while they stop.
    stop = true;
    while (finished.load() < workers) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    for (std::thread& t : threads) {
        t.join();
    }
    return {counted, cpu, wall};
}

}  // namespace

int main(int argc, char** argv)
{
    int rows = 5000, workers = 32, intervalMs = 10, seconds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int value = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--rows") == 0) rows = value;
        else if (std::strcmp(argv[i], "--workers") == 0) workers = value;
        else if (std::strcmp(argv[i], "--interval-ms") == 0) intervalMs = value;
        else if (std::strcmp(argv[i], "--seconds") == 0) seconds = value;
    }
    workers = std::max(1, std::min(workers, rows));
    QApplication app(argc, argv);
    // No adapter table can be read: the first search ends at once; the rows are the bench's own.
    testing::FakeSystem system;
    DecliningPrompts prompts;
    MainDialog window(system.Services(), ManagerTiming{}, &prompts);
    window.show();
    QCoreApplication::processEvents();

    std::printf("window report bench: %d rows, %d workers each reporting every %d ms for %d s, window shown on\n"
                "  the %s platform, release build, %u cores\n",
                rows, workers, intervalMs, seconds, qPrintable(QGuiApplication::platformName()),
                std::thread::hardware_concurrency());
    for (const bool selectAll : {false, true}) {
        const Figures f = Run(window, rows, workers, intervalMs, seconds, selectAll);
        std::printf("%-22s %ld reports (%.0f/s); window thread %.1f ms CPU = %.1f us per report, %.1f %% of one core\n",
                    selectAll ? "every row selected:" : "no row selected:", f.reports, f.reports * 1000.0 / f.wallMs,
                    f.windowCpuMs, f.reports > 0 ? f.windowCpuMs * 1000.0 / static_cast<double>(f.reports) : 0.0,
                    f.windowCpuMs * 100.0 / f.wallMs);
    }
    return 0;
}
