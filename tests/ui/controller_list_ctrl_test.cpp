#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

#include "ui/controller_list_ctrl.h"
#include "ui/controller_list_model.h"
#include "ui/ui_call_gate.h"

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

class Report final : public CoreEvents {};

struct Payload final : tarrowind::PendingPayload {};

}  // namespace

class ControllerListCtrlTest : public QObject {
    Q_OBJECT

private slots:
    void comparesAddressesAsNumbersWithBadTextsLast();
    void breaksTiesByAddressAscendingInBothOrders();
    void comparesCodesNumerically();
    void headerClicksToggleTheOrderAndClearKeepsTheColumn();
    void selectionFollowsItsRecordsThroughASort();
    void addModuleCopiesTheRecordAndIgnoresNull();
    void moduleFoundOnAnotherThreadCrossesThroughTheGate();
    void mouseSignals();
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
    for (const char* ip : {"10.0.0.10", "10.0.0.9", "", "10.0.0.100"}) {
        const auto record = Module("M", ip);
        list.AddModule(&record);
    }
    QHeaderView* header = list.horizontalHeader();
    QCOMPARE(list.SortColumn(), -1);
    QCOMPARE(header->sectionSize(0), 130);

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
    const auto late = Module("A", "1.1.1.1");
    list.AddModule(&late);
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

void ControllerListCtrlTest::selectionFollowsItsRecordsThroughASort()
{
    UiCallGate gate;
    CControllerListCtrl list(gate, nullptr);
    for (const char* ip : {"10.0.0.3", "10.0.0.1", "10.0.0.2"}) {
        const auto record = Module("M", ip);
        list.AddModule(&record);
    }
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
    QCOMPARE(list.RowOfRecord(first), 2);
    QCOMPARE(list.RowOfRecord(nullptr), -1);

    QSignalSpy repainted(list.model(), &QAbstractItemModel::dataChanged);
    list.RedrawRow(2);
    QCOMPARE(repainted.count(), 1);
    QCOMPARE(repainted.at(0).at(0).toModelIndex().row(), 2);
    list.SelectAll();
    QCOMPARE(list.SelectedCount(), 3);
}

void ControllerListCtrlTest::addModuleCopiesTheRecordAndIgnoresNull()
{
    UiCallGate gate;
    Report window;
    CControllerListCtrl list(gate, &window);
    QCOMPARE(list.AddModule(nullptr), 0);
    QCOMPARE(list.RowCount(), 0);

    auto sent = Module("QT-DC410", "192.0.2.7", "00:0E:E3:00:00:01");
    sent.name = "Door 1";
    sent.status = 6;
    sent.userName = "admin";
    sent.pendingPayload = std::make_shared<Payload>();
    QCOMPARE(list.AddModule(&sent), 0);
    QCOMPARE(list.RowCount(), 1);
    const DeviceRecord* copy = list.RecordAt(0);
    QVERIFY(copy != &sent);
    QCOMPARE(copy->reportWindow, static_cast<CoreEvents*>(&window));
    QCOMPARE(copy->macText, sent.macText);
    QCOMPARE(copy->name, sent.name);
    QCOMPARE(copy->status, 6);
    QCOMPARE(copy->userName, sent.userName);
    QCOMPARE(copy->pendingPayload, sent.pendingPayload);
    QCOMPARE(sent.reportWindow, static_cast<CoreEvents*>(nullptr));
}

void ControllerListCtrlTest::moduleFoundOnAnotherThreadCrossesThroughTheGate()
{
    UiCallGate gate;
    Report window;
    CControllerListCtrl list(gate, &window);
    std::atomic<bool> returned{false};
    std::atomic<int> rowsSeenBySender{-1};
    std::thread search([&] {
        auto record = Module("QT-TEXT GRABBER V7K", "198.51.100.20");
        list.OnModuleFound(record);
        rowsSeenBySender = list.RowCount();  // the row exists once the call returns
        record.ipText = "changed";           // the sender may reuse its record now
        returned = true;
    });
    QTRY_VERIFY(returned.load());
    search.join();
    QCOMPARE(rowsSeenBySender.load(), 1);
    QCOMPARE(list.RecordAt(0)->ipText, std::string("198.51.100.20"));
    QCOMPARE(list.RecordAt(0)->reportWindow, static_cast<CoreEvents*>(&window));

    // A closed gate lets the sender go without a row.
    gate.Close();
    std::thread late([&] { list.OnModuleFound(Module("M", "198.51.100.21")); });
    late.join();
    QCOMPARE(list.RowCount(), 1);
}

void ControllerListCtrlTest::mouseSignals()
{
    UiCallGate gate;
    CControllerListCtrl list(gate, nullptr);
    const auto record = Module("M", "10.0.0.1");
    list.AddModule(&record);
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

QTEST_MAIN(ControllerListCtrlTest)
#include "controller_list_ctrl_test.moc"
