// Workers write the list's records without a lock and then report through the gate, while the window
// thread paints and sorts the list. Built with ThreadSanitizer this finds any read of a live record
// outside a report: painting and sorting must read only the snapshots.
#include <QHeaderView>
#include <QTest>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ui/device_list/controller_list_ctrl.h"
#include "ui/device_list/controller_list_model.h"
#include "ui/main_window/ui_call_gate.h"

using tarrowind::CControllerListCtrl;
using tarrowind::ControllerListModel;
using tarrowind::DeviceRecord;
using tarrowind::UiCallGate;

class ListReportRaceTest : public QObject {
    Q_OBJECT

private slots:
    void workersReportWhileTheListPaintsAndSorts();
};

void ListReportRaceTest::workersReportWhileTheListPaintsAndSorts()
{
    constexpr int kWorkers = 16;
    constexpr int kRecordsPerWorker = 3;
    UiCallGate gate;
    CControllerListCtrl list(gate, nullptr);
    for (int i = 0; i < kWorkers * kRecordsPerWorker; ++i) {
        DeviceRecord record;
        record.model = "QT-DC410";
        record.ipText = "192.0.2." + std::to_string(i + 1);
        record.macText = "00:0E:E3:00:00:" + std::to_string(10 + i);
        list.AddModule(&record);
    }
    list.FlushPendingRows();
    list.resize(list.ColumnsWidth(), 400);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.SelectAll();

    // Each worker owns a few records, as the job queue gives one module to one worker at a time.
    std::vector<std::vector<DeviceRecord*>> owned(kWorkers);
    for (int row = 0; row < list.RowCount(); ++row) {
        owned[static_cast<std::size_t>(row % kWorkers)].push_back(list.RecordAt(row));
    }
    std::atomic<bool> stop{false};
    std::vector<std::atomic<int>> reports(kWorkers);
    std::vector<std::thread> workers;
    for (int worker = 0; worker < kWorkers; ++worker) {
        workers.emplace_back([&, worker] {
            for (int pass = 0; !stop.load(); ++pass) {
                for (DeviceRecord* record : owned[static_cast<std::size_t>(worker)]) {
                    // Outside any report, as a requery or a login does.
                    record->ipText = "198.51.100." + std::to_string(pass % 250);
                    record->name = "Door " + std::to_string(pass);
                    record->userName = "admin" + std::to_string(pass);
                    record->password = "pw" + std::to_string(pass);
                    record->status = pass % 24;
                    record->progress = pass % 130;
                    if (gate.Call([&] { list.Refresh(*record); })) {
                        ++reports[static_cast<std::size_t>(worker)];
                    }
                }
            }
        });
    }

    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    for (int turn = 0; std::chrono::steady_clock::now() < end; ++turn) {
        QCoreApplication::processEvents();  // the reports
        list.viewport()->repaint();
        list.Sort(turn % ControllerListModel::kColumnCount);
        (void)list.SelectedSnapshots();
    }
    stop = true;
    gate.Close();  // releases the senders still waiting
    for (std::thread& worker : workers) {
        worker.join();
    }
    for (int worker = 0; worker < kWorkers; ++worker) {
        QVERIFY2(reports[static_cast<std::size_t>(worker)].load() > 0, qPrintable(QString::number(worker)));
    }
}

QTEST_MAIN(ListReportRaceTest)
#include "list_report_race_test.moc"
