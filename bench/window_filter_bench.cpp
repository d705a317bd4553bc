// The filter at scale: N rows, a filter typed and erased key by key, each keystroke timed from the key
// to the repainted list (the window shown offscreen).
//   QT_QPA_PLATFORM=offscreen build/release/bench/window_filter_bench [--rows 5000]
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "commands/declining_prompts.h"
#include "tests/unit/fakes/fake_system.h"
#include "ui/device_list/controller_list_ctrl.h"
#include "ui/main_window/main_dialog.h"

namespace {

using namespace tarrowind;

void Fill(CControllerListCtrl& list, int rows)
{
    list.Clear();
    for (int i = 0; i < rows; ++i) {
        DeviceRecord r;
        char text[32];
        std::snprintf(text, sizeof text, "02:42:00:00:%02X:%02X", (i >> 8) & 0xFF, i & 0xFF);
        r.macText = text;
        std::snprintf(text, sizeof text, "10.20.%d.%d", i / 250, 2 + i % 250);
        r.ipText = text;
        r.model = i % 3 == 0 ? "QT-FP6611" : "QT-DC410";
        r.version = "V3.10R2";
        r.name = (i % 2 == 0 ? "Door " : "Gate ") + std::to_string(i);
        r.maskText = "255.255.252.0";
        r.adapterName = "eth0";
        r.status = i % 7 == 0 ? kStatusLoginFailed : kStatusLoginSuccessfully;
        list.AddModule(&r);
    }
    list.FlushPendingRows();
    QCoreApplication::processEvents();
}

struct Figures {
    double averageMs = 0, worstMs = 0;
    double averageFilterMs = 0;  // the key's handling alone: refiltering, selection, commands' state
    int keys = 0;
};

// Types `text` key by key, then erases it; each keystroke lasts until the window has painted.
Figures Type(MainDialog& window, const char* text)
{
    QLineEdit& field = window.FilterField();
    field.setFocus();
    std::vector<double> times;
    double filtering = 0;
    const auto timed = [&](auto&& press) {
        QElapsedTimer clock;
        clock.start();
        press();
        filtering += static_cast<double>(clock.nsecsElapsed()) / 1e6;
        QCoreApplication::processEvents();
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    };
    for (const char* c = text; *c != '\0'; ++c) {
        timed([&] { QTest::keyClick(&field, *c); });
    }
    while (!field.text().isEmpty()) {
        timed([&] { QTest::keyClick(&field, Qt::Key_Backspace); });
    }
    Figures f;
    f.keys = static_cast<int>(times.size());
    f.averageFilterMs = filtering / std::max<double>(1, static_cast<double>(times.size()));
    for (const double t : times) {
        f.averageMs += t / static_cast<double>(times.size());
        f.worstMs = std::max(f.worstMs, t);
    }
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    int rows = 5000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rows") == 0) rows = std::max(1, std::atoi(argv[i + 1]));
    }
    QApplication app(argc, argv);
    testing::FakeSystem system;  // no adapter table: the first search ends at once; the rows are the bench's
    DecliningPrompts prompts;
    MainDialog window(system.Services(), ManagerTiming{}, &prompts);
    window.resize(1400, 800);
    window.show();
    QCoreApplication::processEvents();
    Fill(window.List(), rows);

    std::printf("window filter bench: %d rows, each keystroke timed from the key to the repainted list,\n"
                "  window 1400 x 800 on the %s platform, release build, %u cores\n",
                rows, qPrintable(QGuiApplication::platformName()), std::thread::hardware_concurrency());
    const struct {
        const char* label;
        const char* text;
        bool selectAll;
    } runs[] = {
        {"name, no selection:", "door 12", false},
        {"status, no selection:", "failed", false},
        {"MAC, every row selected:", "02:42:00:00:0a", true},
    };
    for (const auto& run : runs) {
        if (run.selectAll) {
            window.List().SelectAll();
        }
        const Figures f = Type(window, run.text);
        std::printf("%-26s \"%s\" typed and erased, %d keystrokes: %.2f ms on average (%.2f ms refiltering, the\n"
                    "%28s rest repainting), %.2f ms at most\n",
                    run.label, run.text, f.keys, f.averageMs, f.averageFilterMs, "", f.worstMs);
    }
    return 0;
}
