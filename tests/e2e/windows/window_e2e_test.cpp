// The window of the Windows build, end to end under Wine on a real display, against the demo modules of
// the lab (tests/e2e/windows_window_e2e starts the lab, the display and this program). The steps run in
// order on one window, as a user's morning would: search, log in, stop a search, reboot, change
// settings, update firmware from a folder whose name the ANSI code page cannot spell.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QTest>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "discovery/address_text.h"
#include "operations/known_modules.h"
#include "operations/module_settings.h"
#include "platform/adapter_table.h"
#include "platform/file_path.h"
#include "ui/device_list/controller_list_ctrl.h"
#include "ui/dialogs/dialog_prompts.h"
#include "ui/main_window/main_dialog.h"

namespace tarrowind {
namespace {

// resources/lab/demo-modules.json
constexpr const char* kDoor = "02:00:00:00:01:01";     // QT-DC410 over HTTPS at 192.0.2.10
constexpr const char* kGrabber = "02:00:00:00:01:02";  // text grabber over HTTP at 192.0.2.11
constexpr const char* kFingerprint = "02:00:00:00:01:03";  // fingerprint module over HTTPS at 192.0.2.12
constexpr int kBroadcastReach = 12;                    // the modules on the lab's two links
constexpr const char* kFirmwareFolder = "C:\\Pr\xC3\xBC" "fung \xE2\x98\x83";  // "Prüfung ☃"
constexpr const char* kFirmwareVersion = "V3.20R1";

// The user's answers to the window's questions; the settings read waits as the window does, on a thread
// of its own behind the busy indicator.
struct UserAnswers final : CommandPrompts {
    DialogPrompts* waiter = nullptr;
    std::string newName;
    std::uint32_t newAddress = 0;
    std::string firmwareFile;
    int sheets = 0;
    int skipped = 0;

    bool AskLogin(std::string& id, std::string& password) override
    {
        id = "admin";
        password = "admin";
        return true;
    }
    bool EditModuleSettings(ModuleSettings& s) override
    {
        ++sheets;
        s.machineName = newName;
        s.ip = newAddress;
        return true;
    }
    bool EditDactylSettings(DactylSettingValues&) override { return false; }
    bool AskFirmwareFile(DeviceRecord&, std::string& path) override
    {
        path = firmwareFile;
        return !path.empty();
    }
    void Skipped(const DeviceRecord&, SkipReason) override { ++skipped; }
    void OpenAddress(const std::string&) override {}
    void AddressInUse(const DeviceRecord&) override {}
    bool Await(const DeviceRecord& r, std::function<void()> work, std::function<void()> after) override
    {
        return waiter->Await(r, std::move(work), std::move(after));
    }
};

// The adapters' addresses when every one lies in the lab's TEST-NET ranges and the lab's own 192.0.2.1
// is among them, else "": the window's search must never leave the lab. `seen` lists what was found.
bool InLab(std::string& seen)
{
    const auto adapters = AdapterTable::System().Read();
    bool onlyLab = adapters.has_value();
    bool labAddress = false;
    for (const SystemAdapter& adapter : adapters.value_or(std::vector<SystemAdapter>{})) {
        for (const AdapterAddress& address : adapter.addresses) {
            const std::string& ip = address.ipText;
            seen += " " + ip;
            if (ip == "0.0.0.0") {
                continue;  // an adapter without an address (the lab's pc2): the search never uses it
            }
            onlyLab = onlyLab && (ip.rfind("192.0.2.", 0) == 0 || ip.rfind("198.51.100.", 0) == 0 ||
                                  ip.rfind("203.0.113.", 0) == 0);
            labAddress = labAddress || ip == "192.0.2.1";
        }
    }
    return onlyLab && labAddress;
}

class WindowsWindowE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_known = std::make_unique<KnownModules>(KnownModules::UserFilePath());
        ManagerServices services;
        services.knownModules = s_known.get();
        // The program's own timing: this is the window as it is shipped.
        s_window = std::make_unique<MainDialog>(services, ManagerTiming{}, &s_answers);
        s_waiter = std::make_unique<DialogPrompts>(s_window.get(), s_window->Manager());
        s_answers.waiter = s_waiter.get();
        s_window->show();
    }
    static void TearDownTestSuite()
    {
        s_waiter.reset();
        s_window.reset();
        s_known.reset();
    }

    static MainDialog& Window() { return *s_window; }

    static bool WaitUntil(const std::function<bool()>& done, int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > ms) {
                return false;
            }
            QTest::qWait(50);
        }
        return true;
    }
    static int RowOf(const std::string& mac)
    {
        for (int row = 0; row < Window().List().RowCount(); ++row) {
            if (Window().List().SnapshotAt(row)->macText == mac) {
                return row;
            }
        }
        return -1;
    }
    static const DeviceRecord& Shown(const std::string& mac) { return *Window().List().SnapshotAt(RowOf(mac)); }
    static void Select(std::initializer_list<const char*> macs)
    {
        CControllerListCtrl& list = Window().List();
        list.clearSelection();
        for (const char* mac : macs) {
            ASSERT_GE(RowOf(mac), 0) << mac << " is not listed";
            list.selectionModel()->select(list.model()->index(RowOf(mac), 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    // Wine answers more slowly than Linux: every wait is generous.
    static void SearchToTheEnd()
    {
        ASSERT_TRUE(WaitUntil([] { return !Window().IsSearching() && !Window().Manager().IsSearching(); }, 30000));
        QTest::qWait(100);
    }
    static void Search()
    {
        Window().RunCommand(MainDialog::kCommandSearch);
        ASSERT_TRUE(WaitUntil([] { return Window().IsSearching(); }, 10000));
        SearchToTheEnd();
    }
    static void Idle(int ms = 120000) { ASSERT_TRUE(WaitUntil([] { return !Window().HasPendingWork(); }, ms)); }
    static void LogIn(std::initializer_list<const char*> macs)
    {
        Select(macs);
        Window().RunCommand(MainDialog::kCommandSetLogin);
        Idle();
        for (const char* mac : macs) {
            EXPECT_EQ(Shown(mac).status, kStatusLoginSuccessfully) << mac;
        }
    }

    static inline UserAnswers s_answers;
    static inline std::unique_ptr<KnownModules> s_known;
    static inline std::unique_ptr<MainDialog> s_window;
    static inline std::unique_ptr<DialogPrompts> s_waiter;
};

TEST_F(WindowsWindowE2E, TheFirstSearchListsEveryModuleABroadcastReaches)
{
    // The window as users see it: on the system's own platform, not an offscreen stand-in.
    EXPECT_EQ(QGuiApplication::platformName().toStdString(), "windows");
    SearchToTheEnd();
    ASSERT_EQ(Window().List().RowCount(), kBroadcastReach)
        << "the search heard " << Window().Manager().FoundDevices().size();
    const DeviceRecord& door = Shown(kDoor);
    EXPECT_EQ(door.ipText, "192.0.2.10");
    EXPECT_EQ(door.name, "Door 1");
    EXPECT_EQ(door.version, "V3.10R2");
    EXPECT_EQ(Shown(kGrabber).ipText, "192.0.2.11");
}

TEST_F(WindowsWindowE2E, LogsInOverHttpsAndHttpAndRemembersTheKeyInAppData)
{
    LogIn({kDoor, kGrabber});
    // Read again from the user's file, as the command line would.
    const std::optional<KnownModule> door = KnownModules(KnownModules::UserFilePath()).Find(kDoor);
    ASSERT_TRUE(door.has_value()) << KnownModules::UserFilePath();
    EXPECT_TRUE(door->https);
    EXPECT_NE(door->key, KeyFingerprint{});
    const std::optional<KnownModule> grabber = KnownModules(KnownModules::UserFilePath()).Find(kGrabber);
    ASSERT_TRUE(grabber.has_value());
    EXPECT_FALSE(grabber->https);
}

TEST_F(WindowsWindowE2E, StopsASearchThenRebootsWhileTheWindowRefusesToClose)
{
    Window().RunCommand(MainDialog::kCommandSearch);
    ASSERT_TRUE(WaitUntil([] { return Window().IsSearching(); }, 10000));
    QTest::qWait(1000);
    Window().RunCommand(MainDialog::kCommandStop);
    // Well before the search's own end, 4 s later.
    EXPECT_TRUE(WaitUntil([] { return !Window().IsSearching() && !Window().Manager().IsSearching(); }, 2000));
    SearchToTheEnd();
    ASSERT_GE(RowOf(kDoor), 0) << "the modules answer within the first second";
    ASSERT_GE(RowOf(kGrabber), 0);
    LogIn({kDoor, kGrabber});

    Select({kDoor});
    Window().RunCommand(MainDialog::kCommandReboot);
    EXPECT_EQ(Shown(kDoor).status, kStatusQueueReboot);
    EXPECT_FALSE(Window().close()) << "work is pending";
    EXPECT_TRUE(Window().isVisible());
    Idle();
    EXPECT_EQ(Shown(kDoor).status, kStatusLoginSuccessfully);
    EXPECT_EQ(Shown(kDoor).action, kActionNone);
    EXPECT_EQ(Shown(kDoor).ipText, "192.0.2.10");
}

// The text grabber takes no settings from the program; the fingerprint module, a web module too, does.
TEST_F(WindowsWindowE2E, NewNameAndAddressReadOffTheWindowThread)
{
    LogIn({kFingerprint});
    s_answers.newName = "Fingerprint lobby";
    s_answers.newAddress = InetAddr("192.0.2.32");
    s_answers.skipped = 0;
    Select({kFingerprint});
    Window().RunCommand(MainDialog::kCommandSetting);
    EXPECT_EQ(s_answers.skipped, 0);
    EXPECT_EQ(s_answers.sheets, 1);
    EXPECT_EQ(Shown(kFingerprint).status, kStatusQueueSetting);
    Idle();
    EXPECT_EQ(Shown(kFingerprint).status, kStatusLoginSuccessfully);
    // A new search finds it where it now is, by its new name.
    Search();
    ASSERT_GE(RowOf(kFingerprint), 0);
    EXPECT_EQ(Shown(kFingerprint).ipText, "192.0.2.32");
    EXPECT_EQ(Shown(kFingerprint).name, "Fingerprint lobby");
    EXPECT_EQ(Window().List().RowCount(), kBroadcastReach);
}

TEST_F(WindowsWindowE2E, FirmwareFromAFolderOutsideTheAnsiCodePage)
{
    const std::filesystem::path folder = PathFromUtf8(kFirmwareFolder);
    struct RemovedAtEnd {
        std::filesystem::path path;
        ~RemovedAtEnd()
        {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    } removed{folder};
    std::filesystem::create_directories(folder);
    {
        std::ofstream file(folder / "dc410.a90", std::ios::binary);
        file << "SIMFW version=" << kFirmwareVersion << "\n" << std::string(150000, 'f');
        ASSERT_TRUE(file.good());
    }
    s_answers.firmwareFile = std::string(kFirmwareFolder) + "\\dc410.a90";

    LogIn({kDoor});
    Select({kDoor});
    Window().RunCommand(MainDialog::kCommandFirmwareUpdate);
    EXPECT_EQ(Shown(kDoor).action, kActionFirmwareUpdate);
    Idle(240000);
    EXPECT_EQ(Shown(kDoor).status, kStatusLoginSuccessfully);
    EXPECT_EQ(Shown(kDoor).version, kFirmwareVersion);
}

TEST_F(WindowsWindowE2E, ClosesWithNothingPending)
{
    Idle();
    EXPECT_TRUE(Window().close());
}

}  // namespace
}  // namespace tarrowind

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    std::string seen;
    if (!tarrowind::InLab(seen)) {
        std::fprintf(stderr, "windows_window_e2e_tests runs only in the lab (tests/e2e/windows_window_e2e); adapters:%s\n",
                     seen.c_str());
        return 2;
    }
    return RUN_ALL_TESTS();
}
