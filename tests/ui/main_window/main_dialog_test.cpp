#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QApplication>
#include <QClipboard>
#include <QTest>

#include <csignal>

#include <atomic>
#include <thread>

#include "commands/batch_tally.h"
#include "operations/controller_manager.h"
#include "localisation/string_table.h"
#include "operations/known_modules.h"
#include "tests/ui/main_window/fake_window_site.h"
#include "ui/device_list/controller_list_ctrl.h"
#include "ui/device_list/controller_list_model.h"
#include "ui/main_window/main_dialog.h"
#include "ui/main_window/session_end.h"
#include "ui/main_window/ui_call_gate.h"
#include "ui/main_window/window_actions.h"

namespace tarrowind {
namespace {

struct LoginPrompts final : CommandPrompts {
    int logins = 0;
    bool AskLogin(std::string& id, std::string& password) override
    {
        ++logins;
        id = "admin";
        password = "pw";
        return true;
    }
    bool EditModuleSettings(ModuleSettings&) override { return false; }
    bool EditDactylSettings(DactylSettingValues&) override { return false; }
    bool AskFirmwareFile(DeviceRecord&, std::string& path) override
    {
        path = firmware;
        return !firmware.empty();
    }
    bool AskUpdateWaves(const std::vector<const DeviceRecord*>&, bool, std::optional<WaveOptions>& w) override
    {
        w = waves;
        return true;
    }
    std::string firmware;  // empty: the firmware dialog is cancelled
    std::optional<WaveOptions> waves;
    void OpenAddress(const std::string&) override {}
    void AddressInUse(const DeviceRecord&) override {}
    void CannotTellApart(const DeviceRecord&, int modules, bool first) override
    {
        apart.push_back(first ? -modules : modules);
    }
    std::vector<int> apart;  // the modules on the address; negative: the first of its command
};

// The fake site, with the login prompts the tests answer.
struct FakeSite : testing::FakeWindowSite {
    LoginPrompts prompts;
};

class MainDialogTest : public QObject {
    Q_OBJECT

private slots:
    void firstSearchFillsTheListAndEndsIdle()
    {
        FakeSite site;
        MainDialog window(site.Services(), ManagerTiming{}, &site.prompts);
        QCOMPARE(window.Action(MainDialog::kCommandStop) != nullptr ||
                     window.Action(MainDialog::kCommandSearch) != nullptr,
                 true);
        QTRY_COMPARE(window.List().RowCount(), 2);
        QTRY_VERIFY(!window.IsSearching());
        QCOMPARE(window.StatusPaneText(), QString::fromStdString(Text("ORB_IDS_READY")));
        QVERIFY(window.Action(MainDialog::kCommandSearch) != nullptr);
        // Nothing selected: only Search and Select All are offered.
        const CommandState idle = window.CurrentCommandState();
        QCOMPARE(idle.search, 1);
        QCOMPARE(idle.setLogin | idle.cancelQueueItems, 0);
        QVERIFY(!window.Action(MainDialog::kCommandCancelQueueItems)->isEnabled());
        // The rows found make the list exportable without any selection change.
        bool exportEnabled = false;
        for (const QPushButton* button : window.findChildren<QPushButton*>()) {
            if (button->text() == window.Action(MainDialog::kCommandExportList)->text()) {
                exportEnabled = button->isEnabled();
            }
        }
        QVERIFY(exportEnabled);
        // The firmware column only where a firmware folder is known, as of each search.
        for (const std::string folder : {"", "/nowhere/DCFirmware/", ""}) {
            window.Manager().SetFirmwareFolder(folder);
            QTRY_VERIFY(!window.Manager().IsSearching());
            window.RunCommand(MainDialog::kCommandSearch);
            QTRY_VERIFY(!window.IsSearching());
            QCOMPARE(window.List().isColumnHidden(ControllerListModel::kColumnFirmware), folder.empty());
        }
    }

    void enterLogsInAQueuedRowIsCancelledAndCloseWaitsForTheQueue()
    {
        FakeSite site;
        MainDialog window(site.Services(), ManagerTiming{}, &site.prompts);
        window.show();
        QTRY_VERIFY(!window.IsSearching() && window.List().RowCount() == 2);
        window.List().selectRow(0);
        QVERIFY(window.Action(MainDialog::kCommandSetLogin)->isEnabled());

        QTest::keyClick(&window.List(), Qt::Key_Return);  // not logged in: Enter asks for the login
        QCOMPARE(site.prompts.logins, 1);
        DeviceRecord* record = window.List().RecordAt(0);
        QCOMPARE(record->status, static_cast<std::int32_t>(kStatusQueueLogin));
        QCOMPARE(window.Manager().GetJobCount(), 1);

        window.RunCommand(MainDialog::kCommandSearch);  // no new search while work is queued
        QCOMPARE(window.List().RowCount(), 2);
        QVERIFY(!window.close());
        QVERIFY(window.isVisible());  // pending work keeps the window open

        // A second record on the same address waits behind the first; Enter on it withdraws it.
        window.List().selectRow(1);
        DeviceRecord* second = window.List().RecordAt(1);
        second->ip = record->ip;
        window.RunCommand(MainDialog::kCommandSetLogin);
        QCOMPARE(second->status, static_cast<std::int32_t>(kStatusQueueLogin));
        QTest::keyClick(&window.List(), Qt::Key_Enter);
        QCOMPARE(second->status, static_cast<std::int32_t>(kStatusNone));
        QCOMPARE(second->action, static_cast<std::int32_t>(kActionNone));
        const auto statusTip = [&window] {
            return window.List().model()->index(1, ControllerListModel::kColumnStatus).data(Qt::ToolTipRole).toString();
        };
        QVERIFY(!Text("ORB_IDS_WHY_CANCELLED").empty() && !Text("ORB_IDS_WHY_NO_LOGIN").empty());
        QVERIFY2(statusTip().contains(QString::fromStdString(Text("ORB_IDS_WHY_CANCELLED"))), qPrintable(statusTip()));

        // A module without a login: Enter opens no login dialog, and its status says why.
        second->kind = ModuleKind::LongReply;
        QVERIFY(window.List().Refresh(*second));
        window.UpdateCommandUi();
        QVERIFY(!window.Action(MainDialog::kCommandSetLogin)->isEnabled());
        const int asked = site.prompts.logins;
        QTest::keyClick(&window.List(), Qt::Key_Return);
        QCOMPARE(site.prompts.logins, asked);
        QVERIFY2(statusTip().contains(QString::fromStdString(Text("ORB_IDS_WHY_NO_LOGIN"))), qPrintable(statusTip()));

        site.RunWorkers();
        QCOMPARE(window.Manager().GetJobCount(), 0);
        // Escape never throws the list away; Ctrl+Q (or the close button) closes an idle window.
        QTest::keyClick(&window.List(), Qt::Key_Escape);
        QVERIFY(window.isVisible());
        QTest::keyClick(&window.List(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!window.isVisible());
        // Where the platform's quit keys are Ctrl+Q already (X11 desktops), they are not bound twice.
        const QKeySequence ctrlQ(Qt::CTRL | Qt::Key_Q);
        QCOMPARE(QuitKeys({ctrlQ}), QList<QKeySequence>{ctrlQ});
        QCOMPARE(QuitKeys({}), QList<QKeySequence>{ctrlQ});
    }

    void greyedCommandsSayWhyAndTheStatusBarCountsTheWork()
    {
        FakeSite site;
        MainDialog window(site.Services(), ManagerTiming{}, &site.prompts);
        window.show();
        QTRY_VERIFY(!window.IsSearching() && window.List().RowCount() == 2);
        const auto text = [](const char* key, auto... counts) { return QString::fromStdString(Text(key, counts...)); };
        auto* toolbar = window.findChild<QToolBar*>();
        const auto tip = [&](int id) { return toolbar->widgetForAction(window.Action(id))->toolTip(); };
        QCOMPARE(tip(MainDialog::kCommandReboot), text("ORB_IDS_REBOOT") + '\n' + text("ORB_IDS_WHY_NO_SELECTION"));
        // A command of the context menu only says why there.
        QAction* changeLogin = window.Action(MainDialog::kCommandChangeLogin);
        QCOMPARE(changeLogin->toolTip(), text("ORB_IDS_CHANGE_LOGIN") + '\n' + text("ORB_IDS_WHY_NO_SELECTION"));
        window.List().selectAll();
        QCOMPARE(changeLogin->toolTip(), text("ORB_IDS_CHANGE_LOGIN") + '\n' + text("ORB_IDS_WHY_NO_NEW_LOGIN"));

        window.List().selectAll();
        QVERIFY(window.Action(MainDialog::kCommandReboot)->isEnabled());
        QCOMPARE(tip(MainDialog::kCommandReboot), text("ORB_IDS_REBOOT"));
        QVERIFY(tip(MainDialog::kCommandSetting).endsWith(text("ORB_IDS_WHY_ONE_MODULE")));

        window.RunCommand(MainDialog::kCommandSetLogin);
        const int jobs = window.Manager().GetJobCount();
        const int running = window.Manager().GetRunningCount();
        QCOMPARE(jobs, 2);
        QCOMPARE(window.StatusPaneText(), text("ORB_IDS_WORK_COUNTS", running, jobs - running));
        QVERIFY(tip(MainDialog::kCommandSearch).endsWith(text("ORB_IDS_WHY_BUSY")));

        // One of the two ends: the bar counts it while the other runs on.
        std::function<void()> first = std::move(site.workers.front());
        site.workers.erase(site.workers.begin());
        first();
        QCOMPARE(window.Manager().GetJobCount(), 1);
        QCOMPARE(window.Manager().GetRunningCount(), 1);
        const auto failedNow = [&] {
            int n = 0;
            for (int row = 0; row < 2; ++row) {
                const DeviceRecord* r = window.List().RecordAt(row);
                n += r->action == kActionNone && BatchTally::IsFailure(r->status) ? 1 : 0;
            }
            return n;
        };
        QTRY_COMPARE(window.StatusPaneText(), text("ORB_IDS_WORK_COUNTS_ENDED", 1, 0, 1, failedNow()));

        // A refused close says why, and keeps saying it while the work goes on.
        QVERIFY(!window.close());
        QCOMPARE(window.StatusPaneText(), text("ORB_IDS_CLOSE_REFUSED", 1));
        QTest::qWait(20);
        QCOMPARE(window.StatusPaneText(), text("ORB_IDS_CLOSE_REFUSED", 1));

        site.RunWorkers();
        QCOMPARE(window.Manager().GetJobCount(), 0);
        int failed = 0;
        for (int row = 0; row < 2; ++row) {
            failed += BatchTally::IsFailure(window.List().RecordAt(row)->status) ? 1 : 0;
        }
        QTRY_COMPARE(window.StatusPaneText(),
                     text("ORB_IDS_SET_LOGIN") + QStringLiteral(": ") + text("ORB_IDS_BATCH_SUMMARY_LOGIN", 2 - failed, failed, 0));
        // A new search forgets the last batch.
        window.RunCommand(MainDialog::kCommandSearch);
        QTRY_VERIFY(!window.IsSearching());
        QTRY_COMPARE(window.StatusPaneText(), text("ORB_IDS_READY"));
    }

    void theKeysReachTheCommandsAndTheFilterFieldKeepsItsOwn()
    {
        FakeSite site;
        MainDialog window(site.Services(), ManagerTiming{}, &site.prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(!window.IsSearching() && window.List().RowCount() == 2);
        QCOMPARE(window.List().SelectedCount(), 0);
        QVERIFY(!window.Action(MainDialog::kCommandCopy)->isEnabled());
        // Copy takes the selected rows only: a current row alone is not copied.
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        window.List().selectionModel()->setCurrentIndex(window.List().model()->index(0, 0),
                                                        QItemSelectionModel::NoUpdate);
        QTest::keyClick(&window.List(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
        QTest::keyClick(&window.List(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(window.List().SelectedCount(), 2);
        QVERIFY(window.Action(MainDialog::kCommandCopy)->isEnabled());
        QTest::keyClick(&window.List(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(QGuiApplication::clipboard()->text().contains(QStringLiteral("02:00:00:00:01:02")));

        // In the filter field Ctrl+A, Escape and Enter are the field's: no row command runs.
        window.List().clearSelection();
        QLineEdit& field = window.FilterField();
        field.setFocus();
        QTest::keyClicks(&field, QStringLiteral("02:00"));
        QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(field.selectedText(), QStringLiteral("02:00"));
        QCOMPARE(window.List().SelectedCount(), 0);
        QTest::keyClick(&field, Qt::Key_Escape);
        QVERIFY(field.text().isEmpty());
        window.List().selectRow(0);
        field.setFocus();
        QTest::keyClick(&field, Qt::Key_Return);
        QCOMPARE(site.prompts.logins, 0);
        QVERIFY(window.List().hasFocus());

        // One action per command: the toolbar button and the context menu entry are the same, named by
        // their own texts, and Stop takes Search's place while a search runs.
        QAction* search = window.Action(MainDialog::kCommandSearch);
        QAction* stop = window.Action(MainDialog::kCommandStop);
        auto* toolbar = window.findChild<QToolBar*>();
        QCOMPARE(toolbar->widgetForAction(search)->toolTip(), QString::fromStdString(Text("ORB_IDS_SEARCH")));
        QVERIFY(search->isVisible() && !stop->isVisible());
        const std::unique_ptr<QMenu> menu = window.MakeContextMenu();
        QVERIFY(menu->actions().contains(search));
        QCOMPARE(search->text(), QString::fromStdString(Text("ORB_IDC_SEARCH")));
        QCOMPARE(window.Action(MainDialog::kCommandFirmwareUpdateToLatest)->iconText(),
                 QString::fromStdString(Text("ORB_IDS_FIRMWARE_UPDATE_TO_LATEST")));
        QTRY_VERIFY(!window.Manager().IsSearching());
        bool stopOffered = false;  // the fake clock runs a search out within a turn or two of the loop
        connect(stop, &QAction::changed, [&] { stopOffered = stopOffered || (stop->isVisible() && stop->isEnabled()); });
        window.RunCommand(MainDialog::kCommandSearch);
        QTRY_VERIFY(stopOffered);
        QTRY_VERIFY(!window.IsSearching());
        QVERIFY(search->isVisible() && !stop->isVisible());
    }

    void aTerminatedWindowStopsItsQueueAndClosesWithWorkPending()
    {
#ifdef _WIN32
        QSKIP("Windows tells a desktop program to end through its window messages, not by signals");
#endif
        FakeSite site;
        MainDialog window(site.Services(), ManagerTiming{}, &site.prompts);
        const SessionEnd sessionEnd(window);
        window.show();
        QTRY_VERIFY(!window.IsSearching() && window.List().RowCount() == 2);
        DeviceRecord* running = window.List().RecordAt(0);
        DeviceRecord* parked = window.List().RecordAt(1);
        parked->ip = running->ip;
        window.List().selectAll();
        window.RunCommand(MainDialog::kCommandSetLogin);
        QCOMPARE(window.Manager().GetJobCount(), 2);

        ::raise(SIGTERM);
        QTRY_VERIFY(!window.isVisible());
        QVERIFY(window.Manager().JobsStopped());
        QCOMPARE(parked->status, static_cast<std::int32_t>(kStatusNone));  // put back as it was
        QCOMPARE(parked->action, static_cast<std::int32_t>(kActionNone));
        site.RunWorkers();  // the running login ends without a request
        QCOMPARE(running->status, static_cast<std::int32_t>(kStatusLoginFailed));
        QVERIFY(site.http.Requests().empty());
        QCOMPARE(window.Manager().GetJobCount(), 0);
    }

    void aRowHeldByAFailedFirstWaveSaysSoAndTheWindowWaitsForItsWave()
    {
        FakeSite site;
        site.prompts.firmware = "/missing/fw.bin";  // the first wave's upload fails
        site.prompts.waves = WaveOptions{1, true, false};
        MainDialog window(site.Services(), ManagerTiming{}, &site.prompts);
        window.show();
        QTRY_VERIFY(!window.IsSearching() && window.List().RowCount() == 2);
        for (int row = 0; row < 2; ++row) {
            window.List().RecordAt(row)->status = kStatusLoginSuccessfully;
            QVERIFY(window.List().Refresh(*window.List().RecordAt(row)));
        }
        window.List().selectAll();
        window.RunCommand(MainDialog::kCommandFirmwareUpdate);
        QCOMPARE(window.Manager().GetJobCount(), 1);
        DeviceRecord* waiting = window.List().RecordAt(1);
        QCOMPARE(waiting->status, static_cast<std::int32_t>(kStatusQueueFirmwareUpdate));
        QVERIFY(window.HasPendingWork());

        site.RunWorkers();
        QCOMPARE(window.List().RecordAt(0)->status, static_cast<std::int32_t>(kStatusFirmwareUpdateFailed));
        QCOMPARE(waiting->action, static_cast<std::int32_t>(kActionNone));
        QCOMPARE(waiting->failureReason, FailureReason::Held);
        const QString tip = window.List().model()->index(1, ControllerListModel::kColumnStatus).data(Qt::ToolTipRole).toString();
        QVERIFY2(tip.contains(QString::fromStdString(Text("ORB_IDS_WHY_HELD"))), qPrintable(tip));
        QVERIFY(site.workers.empty());
        QVERIFY(!window.HasPendingWork());
    }

    void aNormalUsersWindowActsWithoutStaticArpEntriesAndSaysSoInTheStatusBar()
    {
        FakeSite site;
        site.neighbours.normalUser = true;
        MainDialog window(site.Services(), ManagerTiming{}, &site.prompts);
        QTRY_VERIFY(!window.IsSearching() && window.List().RowCount() == 2);
        QVERIFY(window.NoticePaneText().isEmpty());
        window.RunCommand(MainDialog::kCommandSelectAll);
        window.RunCommand(MainDialog::kCommandSetLogin);
        site.RunWorkers();
        QCOMPARE(window.Manager().GetJobCount(), 0);
        QVERIFY(window.List().SnapshotAt(0)->status != static_cast<std::int32_t>(kStatusQueueLogin));
        QCOMPARE(window.NoticePaneText(), QString::fromStdString(Text("ORB_IDS_NO_STATIC_ARP")));
        QVERIFY(site.neighbours.entries.empty());
    }

    void aNormalUserSendsNothingToModulesThatShareAnAddress()
    {
        FakeSite site;
        site.neighbours.normalUser = true;
        site.oneAddress = true;
        MainDialog window(site.Services(), ManagerTiming{}, &site.prompts);
        QTRY_VERIFY(!window.IsSearching() && window.List().RowCount() == 2);
        window.RunCommand(MainDialog::kCommandSelectAll);
        window.RunCommand(MainDialog::kCommandSetLogin);
        QCOMPARE(site.prompts.apart, (std::vector<int>{-2, 2}));
        QCOMPARE(window.Manager().GetJobCount(), 0);
        site.RunWorkers();
        QVERIFY(site.http.Requests().empty());
        for (int row = 0; row < 2; ++row) {
            QCOMPARE(window.List().SnapshotAt(row)->status, static_cast<std::int32_t>(kStatusNone));
        }
        QCOMPARE(window.NoticePaneText(), QString::fromStdString(Text("ORB_IDS_NO_STATIC_ARP")));
    }

    void settingsReadRunsOffTheWindowThreadAndAnAbandonedOneKeepsTheAddress()
    {
        FakeSite site;
        std::atomic<int> delayMs{300};
        site.http.handler = [&](const HttpRequest&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs.load()));
            return HttpResult{0, 401, "401 Unauthorized"};
        };
        MainDialog window(site.Services(), ManagerTiming{}, nullptr);  // the window's own dialogs
        window.show();
        QTRY_VERIFY(!window.IsSearching() && window.List().RowCount() == 2);
        DeviceRecord* record = window.List().RecordAt(0);
        record->status = kStatusLoginSuccessfully;
        window.List().Refresh(*record);
        window.List().selectRow(0);

        // The window keeps turning while the module is read; a failed read shows SETTING_FAILED.
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(5);
        window.RunCommand(MainDialog::kCommandSetting);
        QVERIFY(ticks > 10);
        QCOMPARE(window.List().SnapshotAt(0)->status, static_cast<std::int32_t>(kStatusSettingFailed));
        QVERIFY(!window.HasPendingWork());

        // Closing the busy indicator stops the waiting, not the read: the address stays reserved and the
        // window open until the read ends.
        record->status = kStatusLoginSuccessfully;
        window.List().Refresh(*record);
        delayMs = 600;
        QTimer::singleShot(100, [] {
            if (QWidget* busy = QApplication::activeModalWidget()) {
                busy->close();
            }
        });
        window.RunCommand(MainDialog::kCommandSetting);
        const DeviceRecord* shown = window.List().SnapshotAt(0);
        QCOMPARE(shown->action, static_cast<std::int32_t>(kActionNone));
        QCOMPARE(shown->status, static_cast<std::int32_t>(kStatusLoginSuccessfully));
        QVERIFY(window.HasPendingWork());
        QVERIFY(!window.close());
        QVERIFY(!window.Manager().ReserveAddress(record->ip));
        QTRY_VERIFY_WITH_TIMEOUT(!window.HasPendingWork(), 5000);
        QVERIFY(window.Manager().ReserveAddress(record->ip));
        window.Manager().ReleaseAddress(record->ip);
    }

    void contextMenuOffersStopWhileSearchingAndGreysWhatTheSelectionDisallows()
    {
        FakeSite site;
        MainDialog window(site.Services(), ManagerTiming{}, &site.prompts);
        QTRY_VERIFY(!window.IsSearching());
        const std::unique_ptr<QMenu> menu = window.MakeContextMenu();
        QStringList enabled;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator() && action->isEnabled()) {
                enabled << action->text();
            }
        }
        const QString selectAll = QString::fromStdString(Text("ORB_IDC_SELECT_ALL"));
        const QString search = QString::fromStdString(Text("ORB_IDC_SEARCH"));
        QVERIFY(enabled.contains(selectAll) && enabled.contains(search));
        QVERIFY(!enabled.contains(QString::fromStdString(Text("ORB_IDC_REBOOT"))));
    }

    void aChangedCertificateIsShownWithBothKeysAndTakenOnlyForTheSelectedRow()
    {
        FakeSite site;
        KnownModules known("");
        KeyFingerprint shown{}, remembered{};
        shown.fill(0x22);
        remembered.fill(0x11);
        known.Learn("02:00:00:00:01:01", true, remembered);
        site.http.handler = [&](const HttpRequest& q) {
            if (q.expectedKey && *q.expectedKey != shown) {
                return HttpResult{HttpClient::kCertificateChanged, 0, {}, shown};
            }
            return HttpResult{0, 200, "<html>Other</html>", shown};
        };
        ManagerServices services = site.Services();
        services.knownModules = &known;
        MainDialog window(services, ManagerTiming{}, &site.prompts);
        QTRY_VERIFY(!window.IsSearching() && window.List().RowCount() == 2);
        const int row = window.List().SnapshotAt(0)->macText == "02:00:00:00:01:01" ? 0 : 1;
        window.List().selectAll();
        window.RunCommand(MainDialog::kCommandSetLogin);
        site.RunWorkers();
        QCOMPARE(window.List().SnapshotAt(row)->status, static_cast<std::int32_t>(kStatusCertificateChanged));
        QCOMPARE(window.List().SnapshotAt(1 - row)->status, static_cast<std::int32_t>(kStatusLoginSuccessfully));

        ControllerListModel& model = *window.List().Model();
        const QString tip =
            model.data(model.index(row, ControllerListModel::kColumnStatus), Qt::ToolTipRole).toString();
        QVERIFY2(tip.contains(QString::fromStdString(FingerprintHex(remembered))), qPrintable(tip));
        QVERIFY(tip.contains(QString::fromStdString(FingerprintHex(shown))));
        QVERIFY(tip.contains(QString::fromStdString(known.Find("02:00:00:00:01:01")->firstSeen)));

        const auto trustOffered = [&] {
            const std::unique_ptr<QMenu> menu = window.MakeContextMenu();
            for (QAction* action : menu->actions()) {
                if (action->data().toInt() == MainDialog::kCommandTrustNewCertificate) {
                    return action->isEnabled();
                }
            }
            return false;
        };
        window.List().clearSelection();
        window.List().selectRow(1 - row);
        QVERIFY(!trustOffered());
        window.List().clearSelection();
        window.List().selectRow(row);
        QVERIFY(trustOffered());
        window.RunCommand(MainDialog::kCommandTrustNewCertificate);
        QCOMPARE(window.List().SnapshotAt(row)->status, static_cast<std::int32_t>(kStatusNone));
        QVERIFY(known.Find("02:00:00:00:01:01")->key == shown);
        window.RunCommand(MainDialog::kCommandSetLogin);
        site.RunWorkers();
        QCOMPARE(window.List().SnapshotAt(row)->status, static_cast<std::int32_t>(kStatusLoginSuccessfully));
    }

    void closedGateReleasesAWaitingSender()
    {
        UiCallGate gate;
        std::atomic<int> result{-1};
        bool ran = false;
        std::thread sender([&] { result = gate.Call([&] { ran = true; }) ? 1 : 0; });
        // The window thread does not serve the call; closing must still let the sender go.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        gate.Close();
        sender.join();
        QCOMPARE(result.load(), 0);
        QVERIFY(!ran);
        QCoreApplication::processEvents();  // the queued delivery finds nothing to run
        QVERIFY(!ran);
        QVERIFY(!gate.Call([&] { ran = true; }));
    }
};

}  // namespace
}  // namespace tarrowind

QTEST_MAIN(tarrowind::MainDialogTest)
#include "main_dialog_test.moc"
