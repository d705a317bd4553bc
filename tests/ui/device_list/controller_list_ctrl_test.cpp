#include <QHeaderView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

#include "localisation/string_table.h"
#include "operations/firmware_folder.h"
#include "operations/pending_payload.h"
#include "ui/device_list/controller_list_commands.h"
#include "ui/device_list/controller_list_ctrl.h"
#include "ui/device_list/controller_list_model.h"
#include "ui/main_window/ui_call_gate.h"

using tarrowind::CControllerListCtrl;
using tarrowind::ControllerListModel;
using tarrowind::CoreEvents;
using tarrowind::DeviceRecord;
using tarrowind::UiCallGate;

namespace {

DeviceRecord Module(const std::string& model, const std::string& ip, const std::string& mac = "00:11:22:33:44:55")
{
    DeviceRecord record;
    record.model = model;
    record.ipText = ip;
    record.macText = mac;
    return record;
}

std::vector<std::string> Ips(const CControllerListCtrl& list)
{
    std::vector<std::string> ips;
    for (int row = 0; row < list.RowCount(); ++row) {
        ips.push_back(list.RecordAt(row)->ipText);
    }
    return ips;
}

// Rows through the add-module handling, shown at once.
void Add(CControllerListCtrl& list, std::initializer_list<DeviceRecord> records)
{
    for (const DeviceRecord& record : records) {
        list.AddModule(&record);
    }
    list.FlushPendingRows();
}

bool MapMatchesRows(const CControllerListCtrl& list)
{
    for (int row = 0; row < list.RowCount(); ++row) {
        if (list.RowOfRecord(list.RecordAt(row)) != row) {
            return false;
        }
    }
    return true;
}

class Report final : public CoreEvents {};

}  // namespace

class ControllerListCtrlTest : public QObject {
    Q_OBJECT

private slots:
    void comparesAddressesAsNumbersWithBadTextsLast();
    void breaksTiesByAddressAscendingInBothOrders();
    void comparesCodesNumerically();
    void headerClicksToggleTheOrderAndClearKeepsTheColumn();
    void selectionAndRowMapFollowTheRecordsThroughSortAndClear();
    void addModuleCopiesTheRecordAndTheSnapshotDropsTheSecrets();
    void snapshotsChangeOnlyOnRefresh();
    void foundModulesAreInsertedInOneBatch();
    void moduleFoundOnAnotherThreadCrossesThroughTheGate();
    void mouseSignals();
    void filterHidesRowsAndKeepsTheSelectionOfRowsStillShown();
    void anUnconfirmedRowIsMarkedUntilTheModuleConfirmsIt();
    void firmwareColumnShowsTheListsVerdictAndSortsFiltersAndExportsIt();
};

void ControllerListCtrlTest::comparesAddressesAsNumbersWithBadTextsLast()
{
    const int ip = ControllerListModel::kColumnIp;
    const auto a = Module("X", "10.0.0.9");
    const auto b = Module("X", "10.0.0.10");
    QVERIFY(CControllerListCtrl::CompareRecords(a, b, ip, true) < 0);
    QVERIFY(CControllerListCtrl::CompareRecords(a, b, ip, false) > 0);
    for (const char* bad : {"", "10.0.0.300", "module"}) {
        QVERIFY2(CControllerListCtrl::CompareRecords(Module("X", "255.255.255.254"), Module("X", bad), ip, true) < 0,
                 bad);
    }
    // Equal address and key: equal, whatever the order.
    QCOMPARE(CControllerListCtrl::CompareRecords(a, Module("X", "10.0.0.9", "other"), 0, false), 0);
}

void ControllerListCtrlTest::breaksTiesByAddressAscendingInBothOrders()
{
    const auto low = Module("QT-DC410", "192.168.0.5");
    const auto high = Module("QT-DC410", "192.168.0.40");
    QVERIFY(CControllerListCtrl::CompareRecords(low, high, 0, true) < 0);
    QVERIFY(CControllerListCtrl::CompareRecords(low, high, 0, false) < 0);
    // Ordinal and case-sensitive: "Z" comes before "a".
    QVERIFY(CControllerListCtrl::CompareRecords(Module("Z", "1.1.1.1"), Module("a", "1.1.1.0"), 0, true) < 0);
}

void ControllerListCtrlTest::comparesCodesNumerically()
{
    auto a = Module("X", "10.0.0.2");
    auto b = Module("X", "10.0.0.1");
    a.status = 3;
    b.status = 18;
    a.progress = 100;
    b.progress = 9;
    QCOMPARE(CControllerListCtrl::CompareRecords(a, b, ControllerListModel::kColumnStatus, true), -1);
    QCOMPARE(CControllerListCtrl::CompareRecords(a, b, ControllerListModel::kColumnStatus, false), 1);
    QCOMPARE(CControllerListCtrl::CompareRecords(a, b, ControllerListModel::kColumnProgress, true), 1);
    // Same action: by address, not negated.
    QCOMPARE(CControllerListCtrl::CompareRecords(a, b, ControllerListModel::kColumnAction, false), 1);
}

void ControllerListCtrlTest::headerClicksToggleTheOrderAndClearKeepsTheColumn()
{
    UiCallGate gate;
    CControllerListCtrl list(gate, nullptr);
    list.resize(1200, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    Add(list, {Module("M", "10.0.0.10"), Module("M", "10.0.0.9"), Module("M", ""), Module("M", "10.0.0.100")});
    QHeaderView* header = list.horizontalHeader();
    QCOMPARE(list.SortColumn(), -1);
    QVERIFY(header->sectionSize(0) >= 130);

    // Real clicks, so that the header's own indicator flip is overridden.
    const auto click = [&](int column) {
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    };
    click(ControllerListModel::kColumnIp);
    QCOMPARE(Ips(list), (std::vector<std::string>{"10.0.0.9", "10.0.0.10", "10.0.0.100", ""}));
    QVERIFY(header->isSortIndicatorShown());
    QCOMPARE(header->sortIndicatorSection(), ControllerListModel::kColumnIp);
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);

    click(ControllerListModel::kColumnIp);
    QCOMPARE(Ips(list), (std::vector<std::string>{"", "10.0.0.100", "10.0.0.10", "10.0.0.9"}));
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);

    // Another column: ascending at once, the arrow moves.
    click(ControllerListModel::kColumnModel);
    QVERIFY(list.SortAscending());
    QCOMPARE(header->sortIndicatorSection(), ControllerListModel::kColumnModel);
    QCOMPARE(Ips(list), (std::vector<std::string>{"10.0.0.9", "10.0.0.10", "10.0.0.100", ""}));

    // A module found while sorted goes to the bottom.
    Add(list, {Module("A", "1.1.1.1")});
    QCOMPARE(list.RecordAt(4)->ipText, std::string("1.1.1.1"));

    QSignalSpy changed(&list, &CControllerListCtrl::itemChanged);
    list.Clear();
    QCOMPARE(list.RowCount(), 0);
    QCOMPARE(changed.count(), 1);
    QVERIFY(!header->isSortIndicatorShown());
    QVERIFY(!list.SortAscending());
    QCOMPARE(list.SortColumn(), ControllerListModel::kColumnModel);
    list.Sort(ControllerListModel::kColumnModel);
    QVERIFY(list.SortAscending());
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
}

void ControllerListCtrlTest::selectionAndRowMapFollowTheRecordsThroughSortAndClear()
{
    UiCallGate gate;
    CControllerListCtrl list(gate, nullptr);
    Add(list, {Module("M", "10.0.0.3"), Module("M", "10.0.0.1"), Module("M", "10.0.0.2")});
    QSignalSpy changed(&list, &CControllerListCtrl::itemChanged);
    DeviceRecord* first = list.RecordAt(0);
    DeviceRecord* second = list.RecordAt(1);
    list.selectionModel()->select(list.model()->index(0, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list.selectionModel()->select(list.model()->index(1, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QVERIFY(changed.count() >= 2);
    list.Sort(ControllerListModel::kColumnIp);
    QCOMPARE(list.SelectedCount(), 2);
    QCOMPARE(list.SelectedRecords(), (std::vector<DeviceRecord*>{second, first}));  // shown order
    QCOMPARE(list.SelectedSnapshots(), (std::vector<const DeviceRecord*>{list.SnapshotAt(0), list.SnapshotAt(2)}));
    QCOMPARE(list.SelectedSnapshots()[0]->ipText, std::string("10.0.0.1"));
    QVERIFY(MapMatchesRows(list));
    QCOMPARE(list.RowOfRecord(nullptr), -1);

    // Appended while sorted, then sorted again the other way.
    Add(list, {Module("M", "10.0.0.0"), Module("M", "10.0.0.9")});
    QVERIFY(MapMatchesRows(list));
    list.Sort(ControllerListModel::kColumnIp);
    QCOMPARE(list.RecordAt(0)->ipText, std::string("10.0.0.9"));
    QVERIFY(MapMatchesRows(list));
    list.SelectAll();
    QCOMPARE(list.SelectedCount(), 5);

    // After Clear no old record is found, and the new rows are.
    list.Clear();
    QCOMPARE(list.RowOfRecord(first), -1);
    QCOMPARE(list.SelectedSnapshots().size(), std::size_t{0});
    Add(list, {Module("N", "10.0.1.1"), Module("N", "10.0.1.2")});
    QVERIFY(MapMatchesRows(list));
}

void ControllerListCtrlTest::addModuleCopiesTheRecordAndTheSnapshotDropsTheSecrets()
{
    UiCallGate gate;
    Report window;
    CControllerListCtrl list(gate, &window);
    QCOMPARE(list.AddModule(nullptr), 0);
    list.FlushPendingRows();
    QCOMPARE(list.RowCount(), 0);

    auto sent = Module("QT-DC410", "192.0.2.7", "00:0E:E3:00:00:01");
    sent.name = "Door 1";
    sent.status = 6;
    sent.userName = "admin";
    sent.password = "secret";
    sent.firmwareFile = "fw.bin";
    sent.pendingPayload = tarrowind::MakePayload(tarrowind::ModuleSettings{});
    QCOMPARE(list.AddModule(&sent), 0);
    list.FlushPendingRows();
    QCOMPARE(list.RowCount(), 1);
    const DeviceRecord* copy = list.RecordAt(0);
    QVERIFY(copy != &sent);
    QCOMPARE(copy->reportWindow, static_cast<CoreEvents*>(&window));
    QCOMPARE(copy->userName, sent.userName);
    QCOMPARE(copy->pendingPayload, sent.pendingPayload);
    QCOMPARE(sent.reportWindow, static_cast<CoreEvents*>(nullptr));

    const DeviceRecord* shown = list.SnapshotAt(0);
    QVERIFY(shown != copy);
    QCOMPARE(shown->name, sent.name);
    QCOMPARE(shown->status, 6);
    QCOMPARE(shown->reportWindow, static_cast<CoreEvents*>(&window));
    QVERIFY(shown->userName.empty() && shown->password.empty() && shown->firmwareFile.empty());
    QVERIFY(shown->pendingPayload == nullptr);
    QCOMPARE(sent.pendingPayload.use_count(), 2L);  // the sender's and the list's record
    QVERIFY(list.SnapshotAt(1) == nullptr);
}

void ControllerListCtrlTest::snapshotsChangeOnlyOnRefresh()
{
    UiCallGate gate;
    CControllerListCtrl list(gate, nullptr);
    Add(list, {Module("M", "10.0.0.1"), Module("M", "10.0.0.2"), Module("M", "10.0.0.3")});
    QSignalSpy repainted(list.model(), &QAbstractItemModel::dataChanged);
    QSignalSpy changed(&list, &CControllerListCtrl::itemChanged);
    DeviceRecord* live = list.RecordAt(0);
    const DeviceRecord* shown = list.SnapshotAt(0);

    // A worker writing outside a report: nothing the list shows or sorts by moves.
    live->ipText = "10.0.0.9";
    live->status = tarrowind::kStatusLogin;
    live->password = "secret";
    // Shown isolated left to right, so that a right-to-left window keeps the address in its order.
    QCOMPARE(list.model()->index(0, ControllerListModel::kColumnIp).data().toString(),
             QChar(0x2066) + QString("10.0.0.1") + QChar(0x2069));
    QCOMPARE(shown->status, static_cast<std::int32_t>(tarrowind::kStatusNone));
    list.Sort(ControllerListModel::kColumnIp);
    QCOMPARE(list.RecordAt(0), live);
    QCOMPARE(repainted.count(), 0);

    // Its report: the row shows the new values, sorts by them at the next sort, and only it repaints.
    QVERIFY(list.Refresh(*live));
    QCOMPARE(list.SnapshotAt(0), shown);  // the same snapshot, taken anew
    QCOMPARE(shown->ipText, std::string("10.0.0.9"));
    QCOMPARE(shown->status, static_cast<std::int32_t>(tarrowind::kStatusLogin));
    QVERIFY(shown->password.empty());
    QCOMPARE(repainted.count(), 1);
    QCOMPARE(repainted.at(0).at(0).toModelIndex().row(), 0);
    QCOMPARE(repainted.at(0).at(1).toModelIndex().row(), 0);
    list.Sort(ControllerListModel::kColumnIp);  // now descending
    list.Sort(ControllerListModel::kColumnIp);  // ascending again
    QCOMPARE(list.RecordAt(2), live);
    QCOMPARE(changed.count(), 0);  // reports are coalesced by the window

    // After a firmware update the version and status tell what ran before, literally, not as markup.
    live->versionBefore = "V1.0.0-1";
    live->version = "V<b>2";
    QVERIFY(list.Refresh(*live));
    const int row = list.RecordAt(0) == live ? 0 : list.RecordAt(1) == live ? 1 : 2;
    for (const int column : {ControllerListModel::kColumnVersion, ControllerListModel::kColumnStatus}) {
        const QString tip = list.model()->index(row, column).data(Qt::ToolTipRole).toString();
        QVERIFY2(tip.contains(QString::fromUtf8("V1.0.0-1 \u2192 V&lt;b&gt;2")), qPrintable(tip));
    }
    QVERIFY(!list.model()->index(row, ControllerListModel::kColumnIp).data(Qt::ToolTipRole).toString().contains("V1.0"));
    // Logged in again with the new version: the status says it was updated, from what to what.
    live->version = "V2.0.0-1";
    live->status = tarrowind::kStatusLoginSuccessfully;
    QVERIFY(list.Refresh(*live));
    QString updated = QString::fromStdString(tarrowind::Text("ORB_IDS_WHY_UPDATED"));
    updated.replace("{before}", ControllerListModel::LeftToRight("V1.0.0-1"))
        .replace("{after}", ControllerListModel::LeftToRight("V2.0.0-1"));
    QVERIFY(updated.contains("V2.0.0-1") && !updated.contains("{"));
    const QString statusTip = list.model()->index(row, ControllerListModel::kColumnStatus).data(Qt::ToolTipRole).toString();
    QVERIFY2(statusTip.contains(updated), qPrintable(statusTip));

    // Not in the list: an outside record, and the same after Clear.
    const DeviceRecord stranger = *live;
    QVERIFY(!list.Refresh(stranger));
    list.Clear();
    const DeviceRecord after = Module("M", "10.0.0.1");
    QVERIFY(!list.Refresh(after));
    list.RedrawRow(0);  // no row: nothing happens
}

void ControllerListCtrlTest::foundModulesAreInsertedInOneBatch()
{
    UiCallGate gate;
    CControllerListCtrl list(gate, nullptr);
    QSignalSpy inserted(list.model(), &QAbstractItemModel::rowsInserted);
    constexpr int kModules = 200;
    for (int i = 0; i < kModules; ++i) {
        const auto record = Module("M", "10.0.0." + std::to_string(i));
        list.AddModule(&record);
    }
    QCOMPARE(list.RowCount(), 0);  // the gate call only copies
    QCOMPARE(inserted.count(), 0);
    list.FlushPendingRows();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 0);
    QCOMPARE(inserted.at(0).at(2).toInt(), kModules - 1);
    QVERIFY(MapMatchesRows(list));
    list.FlushPendingRows();  // nothing waits: no empty insertion
    QCOMPARE(inserted.count(), 1);

    // Without a flush the event loop shows them; Clear drops rows still waiting.
    const auto late = Module("M", "10.0.1.1");
    list.AddModule(&late);
    QTRY_COMPARE(list.RowCount(), kModules + 1);
    list.AddModule(&late);
    list.Clear();
    QTest::qWait(100);
    QCOMPARE(list.RowCount(), 0);
}

void ControllerListCtrlTest::moduleFoundOnAnotherThreadCrossesThroughTheGate()
{
    UiCallGate gate;
    Report window;
    CControllerListCtrl list(gate, &window);
    std::atomic<bool> returned{false};
    std::thread search([&] {
        auto record = Module("QT-TEXT GRABBER V7K", "198.51.100.20");
        list.OnModuleFound(record);
        record.ipText = "changed";  // the sender may reuse its record once the call returns
        returned = true;
    });
    QTRY_VERIFY(returned.load());
    search.join();
    QTRY_COMPARE(list.RowCount(), 1);
    QCOMPARE(list.RecordAt(0)->ipText, std::string("198.51.100.20"));
    QCOMPARE(list.SnapshotAt(0)->ipText, std::string("198.51.100.20"));
    QCOMPARE(list.RecordAt(0)->reportWindow, static_cast<CoreEvents*>(&window));

    // A closed gate lets the sender go without a row.
    gate.Close();
    std::thread late([&] { list.OnModuleFound(Module("M", "198.51.100.21")); });
    late.join();
    list.FlushPendingRows();
    QCOMPARE(list.RowCount(), 1);
}

void ControllerListCtrlTest::mouseSignals()
{
    UiCallGate gate;
    CControllerListCtrl list(gate, nullptr);
    Add(list, {Module("M", "10.0.0.1")});
    list.resize(800, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QSignalSpy menu(&list, &CControllerListCtrl::contextMenuRequested);
    QSignalSpy open(&list, &CControllerListCtrl::defaultActionRequested);
    QSignalSpy right(&list, &CControllerListCtrl::rightDoubleClicked);
    const QPoint at = list.visualRect(list.model()->index(0, 2)).center();

    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, at);
    QCOMPARE(menu.count(), 1);
    QCOMPARE(menu.at(0).at(0).toPoint(), list.viewport()->mapToGlobal(at) + QPoint(0, 1));
    QCOMPARE(list.SelectedCount(), 1);  // the right click selects the row under it

    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(open.count(), 1);
    QTest::mouseDClick(list.viewport(), Qt::RightButton, {}, at);
    QCOMPARE(right.count(), 1);
    QCOMPARE(open.count(), 1);
}

void ControllerListCtrlTest::filterHidesRowsAndKeepsTheSelectionOfRowsStillShown()
{
    UiCallGate gate;
    CControllerListCtrl list(gate, nullptr);
    DeviceRecord west = Module("QT-DC410", "10.0.0.4", "02:00:00:00:00:04");
    west.name = "Door West";
    DeviceRecord gateModule = Module("QT-DC410", "10.0.0.2", "02:00:00:00:00:02");
    gateModule.name = "Gate";
    DeviceRecord east = Module("QT-DC410", "10.0.0.3", "02:00:00:00:00:03");
    east.name = "DOOR EAST";
    DeviceRecord reader = Module("QT-FP20", "10.0.0.1", "02:00:00:00:00:01");
    reader.name = "Reader";
    Add(list, {west, gateModule, east, reader});
    QSignalSpy counts(&list, &CControllerListCtrl::countsChanged);
    list.selectionModel()->select(list.model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list.selectionModel()->select(list.model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    DeviceRecord* gateRecord = list.RecordAt(1);
    DeviceRecord* eastRecord = list.RecordAt(2);

    list.SetFilter(QStringLiteral(" door "));
    QCOMPARE(list.RowCount(), 2);
    QCOMPARE(list.TotalCount(), 4);
    QCOMPARE(Ips(list), (std::vector<std::string>{"10.0.0.4", "10.0.0.3"}));
    QCOMPARE(list.SelectedRecords(), (std::vector<DeviceRecord*>{eastRecord}));
    QCOMPARE(list.RowOfRecord(gateRecord), -1);
    QVERIFY(MapMatchesRows(list));
    QCOMPARE(counts.count(), 1);

    // Hidden rows sort too, so that a wider filter shows them in order; a hidden row takes reports.
    list.Sort(ControllerListModel::kColumnIp);
    QCOMPARE(Ips(list), (std::vector<std::string>{"10.0.0.3", "10.0.0.4"}));
    gateRecord->status = tarrowind::kStatusLoginFailed;
    QVERIFY(list.Refresh(*gateRecord));
    list.SetFilter(QString());
    QCOMPARE(Ips(list), (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"}));
    QVERIFY(MapMatchesRows(list));

    // Status texts as shown, MAC texts and models match; a row added while filtered is matched at once.
    list.SetFilter(ControllerListModel::StatusText(tarrowind::kStatusLoginFailed).toUpper());
    QCOMPARE(list.SelectedRecords().size(), std::size_t{0});
    QCOMPARE(Ips(list), (std::vector<std::string>{"10.0.0.2"}));
    list.SetFilter(QStringLiteral("00:00:01"));
    QCOMPARE(Ips(list), (std::vector<std::string>{"10.0.0.1"}));
    list.SetFilter(QStringLiteral("fp2"));
    Add(list, {Module("QT-FP20", "10.0.0.9", "02:00:00:00:00:09"), Module("QT-DC410", "10.0.0.8", "02:00:00:00:00:08")});
    QCOMPARE(Ips(list), (std::vector<std::string>{"10.0.0.1", "10.0.0.9"}));
    QCOMPARE(list.TotalCount(), 6);
    list.SelectAll();
    QCOMPARE(list.SelectedCount(), 2);
    QVERIFY(MapMatchesRows(list));

    // A new search keeps the filter.
    list.Clear();
    Add(list, {Module("QT-DC410", "10.0.1.1"), Module("QT-FP20", "10.0.1.2")});
    QCOMPARE(Ips(list), (std::vector<std::string>{"10.0.1.2"}));
}

void ControllerListCtrlTest::anUnconfirmedRowIsMarkedUntilTheModuleConfirmsIt()
{
    UiCallGate gate;
    Report window;
    CControllerListCtrl list(gate, &window);
    auto impostor = Module("QT-DC410", "192.0.2.10", "02:00:00:00:01:01");
    impostor.name = "<b>Door</b>";
    impostor.addressConfirmed = false;
    impostor.replyFrom = 0x420200C0;  // 192.0.2.66
    auto other = Module("QT-DC410", "192.0.2.11", "02:00:00:00:01:02");
    Add(list, {impostor, other});
    const QAbstractItemModel* model = list.model();
    const QString tip = model->index(0, ControllerListModel::kColumnName).data(Qt::ToolTipRole).toString();
    QVERIFY2(tip.contains(QStringLiteral("192.0.2.66")) && tip.contains(QStringLiteral("192.0.2.10")), qPrintable(tip));
    QCOMPARE(model->index(0, 0).data(Qt::BackgroundRole).value<QColor>(), ControllerListModel::UnconfirmedBackground());
    QVERIFY(!model->index(1, 0).data(Qt::BackgroundRole).isValid());
    // A name that looks like markup is shown as it is, never rendered.
    const QString nameTip = model->index(1, ControllerListModel::kColumnName).data(Qt::ToolTipRole).toString();
    QVERIFY(nameTip.isEmpty());
    list.RecordAt(1)->name = "<img src=x>";
    list.Refresh(*list.RecordAt(1));
    QVERIFY(model->index(1, ControllerListModel::kColumnName).data(Qt::ToolTipRole).toString().contains(
        QStringLiteral("&lt;img")));

    // The module answers from its own address: the same row takes the confirmed record.
    DeviceRecord* row = list.RecordAt(0);
    auto real = Module("QT-DC410", "192.0.2.10", "02:00:00:00:01:01");
    real.name = "Door";
    real.replyFrom = 0x0A0200C0;
    QVERIFY(list.ReplaceModule(real));
    QCOMPARE(list.RowCount(), 2);
    QCOMPARE(list.RecordAt(0), row);
    QCOMPARE(row->reportWindow, static_cast<CoreEvents*>(&window));
    QVERIFY(row->addressConfirmed);
    QCOMPARE(list.SnapshotAt(0)->name, std::string("Door"));
    QVERIFY(!model->index(0, 0).data(Qt::BackgroundRole).isValid());
    QVERIFY(!list.ReplaceModule(Module("QT-DC410", "192.0.2.12", "02:00:00:00:01:09")));
}

void ControllerListCtrlTest::firmwareColumnShowsTheListsVerdictAndSortsFiltersAndExportsIt()
{
    QTemporaryDir dir;
    QFile listFile(dir.filePath(QString::fromUtf8(tarrowind::kFirmwareListFile)));
    QVERIFY(listFile.open(QIODevice::WriteOnly));
    listFile.write("[QT-DC500]\nVersion=3.21.0\nDate=7\nFile=a.bin\n");
    listFile.close();
    UiCallGate gate;
    CControllerListCtrl list(gate, nullptr);
    list.Model()->SetFirmwareFolder(dir.path().toStdString() + "/");
    const auto loggedIn = [](const std::string& model, const std::string& version, const std::string& ip) {
        DeviceRecord record = Module(model, ip, "02:00:00:00:00:0" + ip.substr(ip.size() - 1));
        record.version = version;
        record.status = tarrowind::kStatusLoginSuccessfully;
        return record;
    };
    DeviceRecord notYet = loggedIn("QT-DC500", "V1.0.0-1", "10.0.0.1");
    notYet.status = tarrowind::kStatusNone;
    Add(list, {notYet, loggedIn("QT-DC500", "V3.21.0-7", "10.0.0.2"), loggedIn("QT-DC999", "V1.0.0-1", "10.0.0.3"),
               loggedIn("QT-DC500", "V3.9.0-1", "10.0.0.4")});
    const auto cells = [&list] {
        std::vector<QString> texts;
        for (int row = 0; row < list.RowCount(); ++row) {
            texts.push_back(list.model()->index(row, ControllerListModel::kColumnFirmware).data().toString());
        }
        return texts;
    };
    const QString upToDate = QString::fromStdString(tarrowind::Text("ORB_IDS_FIRMWARE_UP_TO_DATE"));
    const QString notListed = QString::fromStdString(tarrowind::Text("ORB_IDS_FIRMWARE_NOT_LISTED"));
    QCOMPARE(cells(), (std::vector<QString>{"", upToDate, notListed, "V3.21.0-7 available"}));

    // A row that logs in later says its standing from its report on.
    list.RecordAt(0)->status = tarrowind::kStatusLoginSuccessfully;
    list.Refresh(*list.RecordAt(0));
    QCOMPARE(cells()[0], QString("V3.21.0-7 available"));

    list.Sort(ControllerListModel::kColumnFirmware);
    QCOMPARE(Ips(list), (std::vector<std::string>{"10.0.0.2", "10.0.0.1", "10.0.0.4", "10.0.0.3"}));
    list.SetFilter(QStringLiteral("AVAILABLE"));
    QCOMPARE(Ips(list), (std::vector<std::string>{"10.0.0.1", "10.0.0.4"}));

    // Exported at the end of each line, after the columns plans read by name.
    const QString path = dir.filePath(QStringLiteral("rows.csv"));
    QVERIFY(tarrowind::ExportShownRows(list, path));
    QFile exported(path);
    QVERIFY(exported.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = exported.readAll().split('\n');
    QVERIFY(lines[0].trimmed().endsWith(",Adapter index,Latest version,Update available"));
    QVERIFY(lines[1].trimmed().endsWith(",V3.21.0-7,yes"));
}

QTEST_MAIN(ControllerListCtrlTest)
#include "controller_list_ctrl_test.moc"

