#include <QHeaderView>
#include <QImage>
#include <QTest>

#include "localisation/string_table.h"
#include "ui/controller_list_ctrl.h"
#include "ui/controller_list_delegate.h"
#include "ui/controller_list_model.h"
#include "ui/ui_call_gate.h"

using tarrowind::CControllerListCtrl;
using tarrowind::ControllerListDelegate;
using tarrowind::ControllerListModel;
using tarrowind::DeviceRecord;
using tarrowind::ModuleKind;

namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

QColor Rgb(int r, int g, int b)
{
    return QColor(r, g, b);
}

// One row of the list on screen, with its picture taken after every change.
struct ShownRow {
    tarrowind::UiCallGate gate;
    CControllerListCtrl list{gate, nullptr};

    explicit ShownRow(const DeviceRecord& record)
    {
        list.AddModule(&record);
        list.resize(1200, 120);
        list.show();
    }
    QRect Cell(int column) const { return list.visualRect(list.model()->index(0, column)); }
    QImage Picture()
    {
        list.RedrawRow(0);
        return list.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
};

}  // namespace

class ControllerListCellsTest : public QObject {
    Q_OBJECT

private slots:
    void cellTextsComeFromTheRecord();
    void codesOutsideTheTablesShowNothing();
    void colours();
    void rowImages();
    void progressBarOnlyWhileUpdatingOrWaiting();
    void selectedRowHasTheUnfocusedHighlight();
};

void ControllerListCellsTest::cellTextsComeFromTheRecord()
{
    DeviceRecord record;
    record.model = "QT-DC410";
    record.version = "3.10";
    record.name = "Tür Süd";
    record.macText = "00:0E:E3:01:02:03";
    record.ipText = "192.0.2.10";
    record.maskText = "255.255.255.0";
    record.gatewayText = "192.0.2.1";
    record.adapterName = "pc0";
    record.action = tarrowind::kActionFirmwareUpdateToLatest;
    record.status = tarrowind::kStatusLoginSuccessfully;
    const std::vector<QString> expected = {"QT-DC410", "3.10", "Tür Süd", "00:0E:E3:01:02:03", "192.0.2.10",
                                           "255.255.255.0", "192.0.2.1", "pc0",
                                           Q(tarrowind::Text("ORB_IDS_FIRMWARE_UPDATE_TO_LATEST")), "Logged in", ""};
    for (int column = 0; column < ControllerListModel::kColumnCount; ++column) {
        QCOMPARE(ControllerListModel::CellText(record, column), expected[static_cast<std::size_t>(column)]);
    }
    // A record changed after it was added shows its new values: nothing is cached.
    tarrowind::UiCallGate gate;
    CControllerListCtrl list(gate, nullptr);
    list.AddModule(&record);
    list.RecordAt(0)->status = tarrowind::kStatusQueueLogin;
    QCOMPARE(list.model()->index(0, 9).data().toString(), Q(tarrowind::Text("ORB_IDS_SS_QUEUE_LOGIN")));
    QCOMPARE(list.model()->headerData(3, Qt::Horizontal).toString(), QString("MAC Address"));
}

void ControllerListCellsTest::codesOutsideTheTablesShowNothing()
{
    QCOMPARE(ControllerListModel::ActionText(tarrowind::kActionNone), QString());
    QCOMPARE(ControllerListModel::ActionText(7), QString());
    QCOMPARE(ControllerListModel::ActionText(-1), QString());
    QCOMPARE(ControllerListModel::ActionText(tarrowind::kActionSetLogin), QString("Set Login"));
    QCOMPARE(ControllerListModel::StatusText(0), Q(tarrowind::Text("ORB_IDS_SS_NOT_SUPPORTED")));
    QCOMPARE(ControllerListModel::StatusText(23), Q(tarrowind::Text("ORB_IDS_SS_WAIT_FOR_LOGIN")));
    QCOMPARE(ControllerListModel::StatusText(24), QString());
    QCOMPARE(ControllerListModel::StatusText(-5), QString());
    QVERIFY(!ControllerListModel::StatusColor(24).has_value());
    QVERIFY(!ControllerListModel::StatusColor(-1).has_value());
}

void ControllerListCellsTest::colours()
{
    const std::vector<std::pair<int, QColor>> table = {
        {0, Rgb(0, 0, 0)},        {1, Rgb(0, 0, 255)},      {2, Rgb(255, 0, 0)},   {3, Rgb(96, 96, 96)},
        {4, Rgb(0, 128, 255)},    {6, Rgb(0, 128, 0)},      {16, Rgb(96, 96, 96)}, {17, Rgb(255, 128, 0)},
        {18, Rgb(255, 128, 0)},   {19, Rgb(255, 0, 0)},     {21, Rgb(255, 0, 0)},  {23, Rgb(0, 0, 0)},
    };
    for (const auto& [status, colour] : table) {
        QCOMPARE(ControllerListModel::StatusColor(status).value(), colour);
    }
    DeviceRecord record;
    record.status = 9;
    QCOMPARE(ControllerListModel::CellColor(record, ControllerListModel::kColumnAction).value(), Rgb(128, 0, 0));
    QCOMPARE(ControllerListModel::CellColor(record, ControllerListModel::kColumnStatus).value(), Rgb(255, 0, 0));
    QVERIFY(!ControllerListModel::CellColor(record, ControllerListModel::kColumnName).has_value());
}

void ControllerListCellsTest::rowImages()
{
    QCOMPARE(ControllerListModel::RowImageIndex(ModuleKind::Web), 0);
    QCOMPARE(ControllerListModel::RowImageIndex(ModuleKind::WebDactyl), 1);
    QCOMPARE(ControllerListModel::RowImageIndex(ModuleKind::BinaryDactyl), 1);
    QCOMPARE(ControllerListModel::RowImageIndex(ModuleKind::LongReply), 2);
    QCOMPARE(ControllerListModel::RowImageIndex(static_cast<ModuleKind>(9)), 0);
    // The artwork is built into the program, one distinct picture per image.
    ControllerListModel model;
    std::vector<QImage> images;
    for (int image = 0; image < ControllerListModel::kRowImageCount; ++image) {
        images.push_back(model.RowIcon(image).pixmap(16, 16).toImage());
        QCOMPARE(images.back().size(), QSize(16, 16));
    }
    QVERIFY(images[0] != images[1] && images[1] != images[2]);
}

void ControllerListCellsTest::progressBarOnlyWhileUpdatingOrWaiting()
{
    DeviceRecord record;
    record.ipText = "10.0.0.1";
    ShownRow row(record);
    QVERIFY(QTest::qWaitForWindowExposed(&row.list));
    DeviceRecord* shown = row.list.RecordAt(0);
    const QRect bar = ControllerListDelegate::ProgressBarRect(row.Cell(ControllerListModel::kColumnProgress));
    const QPoint nearLeft(bar.left() + 2, bar.center().y());
    const QPoint nearRight(bar.right() - 2, bar.center().y());
    const QColor blue = ControllerListDelegate::kProgressBar;
    const QColor grey = ControllerListDelegate::kProgressBackground;

    shown->progress = 50;
    for (const int status : {17, 1, 19, 6}) {
        shown->status = status;
        const QImage picture = row.Picture();
        QVERIFY2(picture.pixelColor(nearLeft) != blue && picture.pixelColor(nearLeft) != grey,
                 qPrintable(QString::number(status)));
    }
    for (const int status : {18, 22, 23}) {
        shown->status = status;
        const QImage picture = row.Picture();
        QCOMPARE(picture.pixelColor(nearLeft), blue);
        QCOMPARE(picture.pixelColor(nearRight), grey);
    }
    shown->progress = 0;
    QImage picture = row.Picture();
    QCOMPARE(picture.pixelColor(bar.left(), bar.center().y()), blue);  // the frame
    QCOMPARE(picture.pixelColor(nearLeft), grey);
    shown->progress = 100;
    picture = row.Picture();
    QCOMPARE(picture.pixelColor(nearRight), blue);
    // Not clamped, but kept inside its own cell.
    shown->progress = 1000;
    picture = row.Picture();
    const QRect cell = row.Cell(ControllerListModel::kColumnProgress);
    QCOMPARE(picture.pixelColor(bar.right() + 4, bar.center().y()), blue);
    QVERIFY(picture.pixelColor(cell.right() + 3, bar.center().y()) != blue);
    QCOMPARE(ControllerListDelegate::ProgressFillWidth(63, 45), 28LL);
}

void ControllerListCellsTest::selectedRowHasTheUnfocusedHighlight()
{
    DeviceRecord record;
    ShownRow row(record);
    QVERIFY(QTest::qWaitForWindowExposed(&row.list));
    row.list.clearFocus();
    row.list.SelectAll();
    const QRect cell = row.Cell(ControllerListModel::kColumnAdapter);  // no text in it
    const QImage picture = row.Picture();
    const auto colours = ControllerListDelegate::Highlight(false);
    QCOMPARE(picture.pixelColor(cell.center().x(), cell.top()), colours.outer);
    const QColor middle = picture.pixelColor(cell.center());
    QVERIFY(middle.red() <= colours.top.red() && middle.red() >= colours.bottom.red());
    QVERIFY(middle != row.list.palette().color(QPalette::Base));
}

QTEST_MAIN(ControllerListCellsTest)
#include "controller_list_cells_test.moc"
