// How long the window thread is blocked while the Setting command reads a module that does not answer:
// the longest gap between two turns of the window's event loop, measured by a 1 ms timer.
//   QT_QPA_PLATFORM=offscreen build/release/bench/settings_read_bench [--silent-ms 3000]
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "tests/unit/fakes/fake_system.h"
#include "ui/device_list/controller_list_ctrl.h"
#include "ui/main_window/main_dialog.h"

namespace {

using namespace tarrowind;

// A module that never answers: every request waits, then fails as a connect time-out would.
class SilentModule final : public HttpClient {
public:
    explicit SilentModule(int silentMs) : m_silentMs(silentMs) {}
    HttpResult Perform(const HttpRequest&) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_silentMs));
        return HttpResult{28, 0, {}};  // the HTTP layer's "timed out"
    }

private:
    int m_silentMs;
};

}  // namespace

int main(int argc, char** argv)
{
    int silentMs = 3000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--silent-ms") == 0) {
            silentMs = std::atoi(argv[i + 1]);
        }
    }
    QApplication app(argc, argv);
    testing::FakeSystem system;  // no search runs
    SilentModule http(silentMs);
    // The window's own dialogs: the read runs behind its busy indicator.
    MainDialog window(system.Services(&http), ManagerTiming{}, nullptr);
    window.show();

    DeviceRecord module;
    module.kind = ModuleKind::Web;
    module.model = "QT-DC410";
    module.version = "V3.10R2";
    module.name = "Door that does not answer";
    module.macText = "02:00:00:00:99:01";
    module.ipText = "192.0.2.99";
    module.ip = 0x630200C0u;  // 192.0.2.99 in network byte order
    module.status = kStatusLoginSuccessfully;
    module.userName = "admin";
    window.List().AddModule(&module);
    window.List().FlushPendingRows();
    window.List().selectRow(0);

    // The longest time between two timer ticks is the longest the window could not paint or react.
    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    bool reading = false;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (reading) {
            longestGapMs = std::max(longestGapMs, sinceTick.elapsed());
        }
        sinceTick.restart();
    });
    ticker.start();

    QElapsedTimer readTime;
    QTimer::singleShot(50, [&] {
        reading = true;
        sinceTick.restart();
        readTime.start();
        window.RunCommand(MainDialog::kCommandSetting);  // returns when the read has ended
        reading = false;
        QCoreApplication::exit(0);
    });
    QCoreApplication::exec();

    const DeviceRecord* shown = window.List().SnapshotAt(0);
    std::printf("settings read bench: one logged-in web module whose every request waits %d ms and fails,\n"
                "  window shown on the %s platform, 1 ms timer on the window thread, release build\n",
                silentMs, qPrintable(QGuiApplication::platformName()));
    std::printf("read took %lld ms; longest time the window thread was blocked: %lld ms; row status %d (%s)\n",
                static_cast<long long>(readTime.elapsed()), static_cast<long long>(longestGapMs), shown->status,
                shown->status == kStatusSettingFailed ? "SETTING_FAILED" : "unexpected");
    return shown->status == kStatusSettingFailed ? 0 : 1;
}
