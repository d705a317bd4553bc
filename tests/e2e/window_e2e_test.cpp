// The whole job done from the window, against simulated modules in the lab: search, log in, stop a
// search, reboot, change settings, update firmware, cancel a parked action, and no close while work runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "discovery/address_text.h"
#include "localisation/string_table.h"
#include "operations/firmware_folder.h"
#include "operations/module_settings.h"
#include "tests/e2e/lab_simulator.h"
#include "ui/dialogs/apply_plan_dlg.h"
#include "ui/dialogs/assign_addresses_dlg.h"
#include "ui/device_list/controller_list_ctrl.h"
#include "ui/dialogs/dialog_prompts.h"
#include "ui/dialogs/ip_address_edit.h"
#include "ui/main_window/main_dialog.h"
#include "ui/dialogs/search_addresses_dlg.h"

namespace tarrowind {
namespace {

using lab::Module;
using nlohmann::json;

constexpr const char* kDoor = "02:00:00:00:21:01";
constexpr const char* kGrabber = "02:00:00:00:21:02";
constexpr const char* kFingerprint = "02:00:00:00:21:03";
constexpr const char* kReader = "02:11:22:FD:21:04";
constexpr const char* kLongReply = "02:00:00:00:21:05";

// The user's answers to the window's questions. The settings read waits as the window does, on a
// thread of its own behind the busy indicator.
struct UserAnswers final : CommandPrompts {
    DialogPrompts* waiter = nullptr;
    std::string newName;
    std::uint32_t newAddress = 0;
    int sheets = 0;

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
    bool AskFirmwareFile(DeviceRecord&, std::string&) override { return false; }
    void OpenAddress(const std::string&) override {}
    void AddressInUse(const DeviceRecord&) override {}
    bool Await(const DeviceRecord& r, std::function<void()> work, std::function<void()> after) override
    {
        return waiter->Await(r, std::move(work), std::move(after));
    }
};

class WindowE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!lab::InLab()) {
            GTEST_SKIP() << "needs the lab (root): run through scripts/lab run or ctest as root";
        }
    }

    static json Config()
    {
        json door = Module("Web", kDoor, "192.0.2.40");
        door["useHttps"] = true;
        door["version"] = "V3.1.0-2";
        json grabber = Module("Web", kGrabber, "192.0.2.41");
        grabber["model"] = "QT-TEXT GRABBER V7K";
        grabber["useHttps"] = false;
        json fingerprint = Module("WebDactyl", kFingerprint, "198.51.100.42", "sim1");
        fingerprint["replyLength"] = 252;
        fingerprint["useHttps"] = true;
        json longReply = Module("LongReply", kLongReply, "198.51.100.44", "sim1");
        longReply["model"] = "QT-DC900";
        return {{"restartSilenceMs", 400},
                {"modules", {door, grabber, fingerprint, Module("BinaryDactyl", kReader, "192.0.2.43"), longReply}}};
    }

    static ManagerTiming Timing()
    {
        ManagerTiming t;
        t.searchMs = 2000;
        t.settleMs = 800;
        t.requeryMs = 1500;
        t.firmwarePauseMs = 600;
        return t;
    }

    static bool WaitUntil(const std::function<bool()>& done, int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > ms) {
                return false;
            }
            QTest::qWait(20);
        }
        return true;
    }

    int RowOf(MainDialog& w, const std::string& mac)
    {
        for (int row = 0; row < w.List().RowCount(); ++row) {
            if (w.List().SnapshotAt(row)->macText == mac) {
                return row;
            }
        }
        return -1;
    }
    const DeviceRecord& Shown(MainDialog& w, const std::string& mac) { return *w.List().SnapshotAt(RowOf(w, mac)); }
    void Select(MainDialog& w, const std::string& mac)
    {
        w.List().clearSelection();
        w.List().selectRow(RowOf(w, mac));
    }
    void SearchToTheEnd(MainDialog& w)
    {
        ASSERT_TRUE(WaitUntil([&] { return !w.IsSearching() && !w.Manager().IsSearching(); }, 10000));
        QTest::qWait(50);
    }
    void Idle(MainDialog& w, int ms = 60000) { ASSERT_TRUE(WaitUntil([&] { return !w.HasPendingWork(); }, ms)); }

    // Acts on the next modal dialog of type Dialog once it shows, as its user would; `act` closes it.
    template <typename Dialog>
    static void WhenShown(std::function<void(Dialog&)> act)
    {
        auto* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, [poll, act] {
            if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
                poll->stop();
                poll->deleteLater();
                act(*dialog);
            }
        });
        poll->start(20);
    }
    static std::vector<std::string> Column(QTableWidget& table, int column)
    {
        std::vector<std::string> texts;
        for (int row = 0; row < table.rowCount(); ++row) {
            // Addresses are shown isolated left to right; the marks are not part of the text.
            texts.push_back(table.item(row, column)->text().remove(QChar(0x2066)).remove(QChar(0x2069)).toStdString());
        }
        return texts;
    }
};

TEST_F(WindowE2E, TheWholeJobFromTheWindow)
{
    char folderTemplate[] = "/tmp/tarrowind-window-fw-XXXXXX";
    ASSERT_NE(::mkdtemp(folderTemplate), nullptr);
    const std::string folder = std::string(folderTemplate) + "/";
    std::ofstream(folder + "dc410.a90") << "SIMFW version=V3.2.0-7\n" << std::string(150000, 'f');
    std::ofstream(folder + kFirmwareListFile) << "[QT-DC410]\nVersion=3.2.0\nDate=7\nFile=dc410.a90\n";

    lab::Simulator sim(Config());
    UserAnswers answers;
    MainDialog window(ManagerServices{}, Timing(), &answers);
    DialogPrompts waiter(&window, window.Manager());
    answers.waiter = &waiter;
    window.Manager().SetFirmwareFolder(folder);
    window.show();

    // The first search starts by itself and lists every module.
    SearchToTheEnd(window);
    ASSERT_EQ(window.List().RowCount(), 5) << "found by the window's first search; the search heard "
                                           << window.Manager().FoundDevices().size();

    // Select All, Set Login: every module that takes a login logs in; the desk device cannot.
    window.RunCommand(MainDialog::kCommandSelectAll);
    window.RunCommand(MainDialog::kCommandSetLogin);
    Idle(window);
    for (const char* mac : {kDoor, kGrabber, kFingerprint, kReader}) {
        EXPECT_EQ(Shown(window, mac).status, kStatusLoginSuccessfully) << mac;
    }
    EXPECT_EQ(Shown(window, kLongReply).status, kStatusNone);

    // Stop during a search; the actions after it still find their modules again.
    window.RunCommand(MainDialog::kCommandSearch);
    ASSERT_TRUE(WaitUntil([&] { return window.IsSearching(); }, 3000));
    QTest::qWait(300);
    window.RunCommand(MainDialog::kCommandStop);
    SearchToTheEnd(window);
    ASSERT_GE(RowOf(window, kDoor), 0) << "the modules answer within the first 300 ms";
    ASSERT_GE(RowOf(window, kGrabber), 0);
    Select(window, kGrabber);
    window.RunCommand(MainDialog::kCommandSetLogin);
    Select(window, kDoor);
    window.RunCommand(MainDialog::kCommandSetLogin);
    Idle(window);
    ASSERT_EQ(Shown(window, kDoor).status, kStatusLoginSuccessfully);
    ASSERT_EQ(Shown(window, kGrabber).status, kStatusLoginSuccessfully);
    window.RunCommand(MainDialog::kCommandReboot);
    EXPECT_EQ(Shown(window, kDoor).status, kStatusQueueReboot);
    // Work is pending: the window refuses to close.
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    Idle(window);
    EXPECT_EQ(Shown(window, kDoor).status, kStatusLoginSuccessfully);
    EXPECT_EQ(Shown(window, kDoor).action, kActionNone);

    // A new name and address for the door: read off the window thread, written, found at its new address.
    answers.newName = "Door 40";
    answers.newAddress = InetAddr("192.0.2.50");
    window.RunCommand(MainDialog::kCommandSetting);
    EXPECT_EQ(answers.sheets, 1);
    EXPECT_EQ(Shown(window, kDoor).status, kStatusQueueSetting);
    Idle(window);
    EXPECT_EQ(Shown(window, kDoor).status, kStatusLoginSuccessfully);
    EXPECT_EQ(Shown(window, kDoor).ipText, "192.0.2.50");
    EXPECT_EQ(Shown(window, kDoor).name, "Door 40");

    // Update to the latest firmware of the folder; the module comes back with it and logs in again.
    window.RunCommand(MainDialog::kCommandFirmwareUpdateToLatest);
    EXPECT_EQ(Shown(window, kDoor).action, kActionFirmwareUpdateToLatest);
    Idle(window, 90000);
    EXPECT_EQ(Shown(window, kDoor).status, kStatusLoginSuccessfully);
    EXPECT_EQ(Shown(window, kDoor).version, "V3.2.0-7");

    // An action parked behind a busy address is withdrawn by Cancel queue items.
    const std::uint32_t doorIp = InetAddr(Shown(window, kDoor).ipText);
    ASSERT_TRUE(window.Manager().ReserveAddress(doorIp));
    window.RunCommand(MainDialog::kCommandReboot);
    EXPECT_EQ(Shown(window, kDoor).status, kStatusQueueReboot);
    window.RunCommand(MainDialog::kCommandCancelQueueItems);
    EXPECT_EQ(Shown(window, kDoor).status, kStatusLoginSuccessfully);
    EXPECT_EQ(Shown(window, kDoor).action, kActionNone);
    EXPECT_EQ(window.Manager().GetJobCount(), 0);
    window.Manager().ReleaseAddress(doorIp);

    // With nothing pending the window closes.
    EXPECT_TRUE(window.close());
    std::filesystem::remove_all(folderTemplate);
}

TEST_F(WindowE2E, AnInstallersDayAtScale)
{
    if (!lab::HasRouter()) {
        GTEST_SKIP() << "needs the lab's router";
    }
    constexpr const char* kLocal[] = {"02:00:00:00:31:01", "02:00:00:00:31:02", "02:00:00:00:31:03",
                                      "02:00:00:00:31:04"};
    json modules = json::array();
    // Straight from the box: all four on one factory address.
    for (int i = 0; i < 4; ++i) {
        json m = Module("Web", kLocal[i], "192.0.2.60");
        m["name"] = "Door " + std::to_string(i + 1);
        modules.push_back(m);
    }
    const json routed = lab::RoutedModules(2);
    for (const json& m : routed["modules"]) {
        modules.push_back(m);
    }
    lab::Simulator sim({{"restartSilenceMs", 400}, {"modules", modules}});
    UserAnswers answers;
    MainDialog window(ManagerServices{}, Timing(), &answers);
    DialogPrompts waiter(&window, window.Manager());
    answers.waiter = &waiter;
    window.show();

    // Broadcasts reach the local modules only; "Search addresses..." finds those behind the router too.
    SearchToTheEnd(window);
    ASSERT_EQ(window.List().RowCount(), 4);
    WhenShown<CSearchAddressesDlg>([](CSearchAddressesDlg& d) {
        d.findChild<QPlainTextEdit*>("ranges")->setPlainText(QString::fromLatin1(lab::kRoutedRange));
        EXPECT_TRUE(d.CanAccept());
        d.accept();
    });
    window.RunCommand(MainDialog::kCommandSearchAddresses);
    EXPECT_FALSE(window.RangesPaneText().isEmpty());
    ASSERT_TRUE(WaitUntil([&] { return window.IsSearching(); }, 3000));
    SearchToTheEnd(window);
    ASSERT_EQ(window.List().RowCount(), 6) << "the search heard " << window.Manager().FoundDevices().size()
                                           << " and sent " << window.Manager().RangeProbesSent() << " probes";
    EXPECT_EQ(Shown(window, "02:52:00:00:00:00").adapterName, "Routed");

    // The filter keeps the rows that match; Select All and the commands act on those only.
    window.FilterField().setText(QStringLiteral("02:52"));
    EXPECT_EQ(window.List().RowCount(), 2);
    EXPECT_TRUE(window.CountPaneText().startsWith(QStringLiteral("2 "))) << window.CountPaneText().toStdString();
    window.RunCommand(MainDialog::kCommandSelectAll);
    window.RunCommand(MainDialog::kCommandSetLogin);
    Idle(window);
    window.FilterField().clear();
    for (const char* mac : {"02:52:00:00:00:00", "02:52:00:00:00:01"}) {
        EXPECT_EQ(Shown(window, mac).status, kStatusLoginSuccessfully) << mac;
    }
    EXPECT_EQ(Shown(window, kLocal[0]).status, kStatusNone) << "hidden by the filter, so not logged in";

    // Four new addresses at once, with a preview that follows the fields; they leave their shared
    // address one after another.
    window.FilterField().setText(QStringLiteral("door"));
    window.RunCommand(MainDialog::kCommandSelectAll);
    window.RunCommand(MainDialog::kCommandSetLogin);
    Idle(window);
    window.RunCommand(MainDialog::kCommandSelectAll);
    WhenShown<CAssignAddressesDlg>([this](CAssignAddressesDlg& d) {
        // The third would be the broadcast of a /25.
        d.StartField().SetAddress(Ipv4Address::FromOctets(192, 0, 2, 125));
        d.MaskField().SetAddress(Ipv4Address::FromOctets(255, 255, 255, 128));
        EXPECT_FALSE(d.CanAccept());
        d.MaskField().SetAddress(Ipv4Address::FromOctets(255, 255, 255, 0));
        d.StartField().SetAddress(Ipv4Address::FromOctets(192, 0, 2, 70));
        EXPECT_EQ(Column(d.Preview(), CAssignAddressesDlg::kNewAddress),
                  (std::vector<std::string>{"192.0.2.70", "192.0.2.71", "192.0.2.72", "192.0.2.73"}));
        EXPECT_EQ(Column(d.Preview(), CAssignAddressesDlg::kNote),
                  std::vector<std::string>(4, Text("ORB_IDS_NOTE_SHARED_ADDRESS", 4)));
        EXPECT_TRUE(d.CanAccept());
        d.accept();
    });
    window.RunCommand(MainDialog::kCommandAssignAddresses);
    Idle(window, 90000);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Shown(window, kLocal[i]).ipText, "192.0.2." + std::to_string(70 + i));
        EXPECT_EQ(Shown(window, kLocal[i]).status, kStatusLoginSuccessfully);
    }

    // The list as CSV, edited as a spreadsheet would, comes back as a plan.
    char dirTemplate[] = "/tmp/tarrowind-window-plan-XXXXXX";
    ASSERT_NE(::mkdtemp(dirTemplate), nullptr);
    const std::string csvPath = std::string(dirTemplate) + "/list.csv";
    window.FilterField().clear();
    ASSERT_TRUE(window.ExportList(QString::fromStdString(csvPath)));
    std::ifstream exported(csvPath, std::ios::binary);
    const std::string csv((std::istreambuf_iterator<char>(exported)), std::istreambuf_iterator<char>());
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBFModel,", 0), 0u);
    EXPECT_NE(csv.find("02:52:00:00:00:01"), std::string::npos);
    const std::string planPath = std::string(dirTemplate) + "/plan.csv";
    std::ofstream(planPath) << "MAC;Name\r\n" << kLocal[0] << ";Front door\r\n02:00:00:00:99:99;Nobody\r\n";
    WhenShown<CApplyPlanDlg>([](CApplyPlanDlg& d) {
        EXPECT_EQ(d.Changes().rowCount(), 1);
        EXPECT_EQ(d.Problems().rowCount(), 1);
        d.accept();
    });
    EXPECT_TRUE(window.ApplyPlan(QString::fromStdString(planPath)));
    Idle(window, 60000);
    EXPECT_EQ(Shown(window, kLocal[0]).name, "Front door");
    EXPECT_EQ(Shown(window, kLocal[0]).ipText, "192.0.2.70");

    // Copy puts the selected rows on the clipboard as tab-separated text.
    Select(window, kLocal[1]);
    window.RunCommand(MainDialog::kCommandCopy);
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(QString::fromLatin1(kLocal[1]) + '\t'));
    std::filesystem::remove_all(dirTemplate);
}

}  // namespace
}  // namespace tarrowind

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
