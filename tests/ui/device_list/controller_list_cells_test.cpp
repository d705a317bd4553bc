#include <QHeaderView>
#include <QHelpEvent>
#include <QImage>
#include <QTest>
#include <QToolTip>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <vector>

#include "localisation/string_table.h"
#include "tools/cli/status_names.h"
#include "ui/device_list/colour_contrast.h"
#include "ui/device_list/controller_list_ctrl.h"
#include "ui/device_list/controller_list_delegate.h"
#include "ui/device_list/controller_list_model.h"
#include "ui/main_window/ui_call_gate.h"

using tarrowind::CControllerListCtrl;
using tarrowind::ContrastRatio;
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

    explicit ShownRow(const DeviceRecord& record, const QPalette& palette = QPalette())
    {
        list.setPalette(palette);
        list.AddModule(&record);
        list.FlushPendingRows();
        list.resize(list.ColumnsWidth() + 20, 120);
        list.show();
    }
    DeviceRecord& Live() { return *list.RecordAt(0); }
    QRect Cell(int column) const { return list.visualRect(list.model()->index(0, column)); }
    // The picture after a report of the live record.
    QImage Picture()
    {
        list.Refresh(Live());
        return list.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    QStyleOptionViewItem Option(int column) const
    {
        QStyleOptionViewItem option;
        option.initFrom(&list);
        option.font = list.font();
        option.fontMetrics = list.fontMetrics();
        option.widget = &list;
        option.rect = Cell(column);
        return option;
    }
    bool IsCut(int column) const
    {
        return list.Delegate()->IsCut(Option(column), list.model()->index(0, column));
    }
};

// The colour of the cell's pixels that stands out most from `background`.
QColor MostContrasting(const QImage& picture, const QRect& cell, const QColor& background)
{
    QColor best = background;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QColor pixel = picture.pixelColor(x, y);
            if (ContrastRatio(pixel, background) >
                ContrastRatio(best, background)) {
                best = pixel;
            }
        }
    }
    return best;
}

QPalette DarkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(30, 30, 30));
    palette.setColor(QPalette::Text, QColor(230, 230, 230));
    palette.setColor(QPalette::Window, QColor(45, 45, 45));
    palette.setColor(QPalette::WindowText, QColor(230, 230, 230));
    return palette;
}

}  // namespace

class ControllerListCellsTest : public QObject {
    Q_OBJECT

private slots:
    void cellTextsComeFromTheSnapshot();
    void codesOutsideTheTablesShowNothing();
    void colours();
    void rowImages();
    void progressBarOnlyWhileUpdatingOrWaitingAndDrawnCapped();
    void selectedRowHasTheUnfocusedHighlightAndDarkText();
    void currentRowShowsAFocusFrameWhileTheListHasFocus();
    void coloursStayReadableOnADarkPalette();
    void columnsFitTheirWidestTextsAndKeepAUsersWidth();
    void nameColumnsWidenToTheirLongestTextWithinTheWindow();
    void aCutCellOrAFailedRowHasATooltipAndItIsLiteral();
};

void ControllerListCellsTest::cellTextsComeFromTheSnapshot()
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
                                           Q(tarrowind::Text("ORB_IDS_FIRMWARE_UPDATE_TO_LATEST")), "Logged in", "", ""};
    for (int column = 0; column < ControllerListModel::kColumnCount; ++column) {
        QCOMPARE(ControllerListModel::CellText(record, column), expected[static_cast<std::size_t>(column)]);
    }
    // A record changed after it was added shows its new values after its report, not before.
    tarrowind::UiCallGate gate;
    CControllerListCtrl list(gate, nullptr);
    list.AddModule(&record);
    list.FlushPendingRows();
    list.RecordAt(0)->status = tarrowind::kStatusQueueLogin;
    QCOMPARE(list.model()->index(0, 9).data().toString(), QString("Logged in"));
    list.Refresh(*list.RecordAt(0));
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
    QCOMPARE(ControllerListModel::StatusText(tarrowind::kStatusCount), QString());
    QCOMPARE(ControllerListModel::StatusText(-5), QString());
    QVERIFY(!ControllerListModel::StatusColor(tarrowind::kStatusCount).has_value());
    QVERIFY(!ControllerListModel::StatusColor(-1).has_value());
}

void ControllerListCellsTest::colours()
{
    using namespace tarrowind;
    // The kinds of status the list tells apart by colour; the failures are the ones the command line
    // counts as failed. A new status code must join one of them.
    std::vector<std::vector<std::int32_t>> groups = {
        {kStatusNotSupported, kStatusLatestVersion, kStatusWaitForFirmwareUpdate, kStatusWaitForLogin},
        {kStatusNone},
        {kStatusQueueLogin, kStatusQueueSetting, kStatusQueueReboot, kStatusQueueSetDefault,
         kStatusQueueFirmwareUpdate},
        {kStatusLogin, kStatusSetting, kStatusReboot, kStatusSetDefault},
        {kStatusFirmwareUploading, kStatusFirmwareUpdating},
        {kStatusLoginSuccessfully},
        {},
    };
    std::vector<std::int32_t>& failures = groups.back();
    std::set<std::int32_t> grouped;
    for (std::int32_t status = 0; status < kStatusCount; ++status) {
        if (IsFailureStatus(status)) {
            failures.push_back(status);
        }
    }
    for (const auto& group : groups) {
        for (const std::int32_t status : group) {
            QVERIFY2(grouped.insert(status).second, qPrintable(QString::number(status)));
        }
    }
    QCOMPARE(grouped.size(), static_cast<std::size_t>(kStatusCount));

    const auto colourOf = [](std::int32_t status) { return ControllerListModel::StatusColor(status).value(); };
    const QColor white(255, 255, 255);
    std::vector<QColor> shown;
    for (const auto& group : groups) {
        shown.push_back(colourOf(group.front()));
        for (const std::int32_t status : group) {
            QVERIFY2(colourOf(status) == shown.back(), qPrintable(QString::number(status)));
            // Even the palest (a transfer's orange) stands out from a light list.
            QVERIFY2(ContrastRatio(colourOf(status), white) >= 2.5,
                     qPrintable(QString::number(status)));
        }
    }
    // Groups apart at a glance: some channel differs by a quarter of its range at least.
    for (std::size_t i = 0; i < shown.size(); ++i) {
        for (std::size_t j = i + 1; j < shown.size(); ++j) {
            const int apart = std::max({std::abs(shown[i].red() - shown[j].red()),
                                        std::abs(shown[i].green() - shown[j].green()),
                                        std::abs(shown[i].blue() - shown[j].blue())});
            QVERIFY2(apart >= 64, qPrintable(shown[i].name() + " " + shown[j].name()));
        }
    }
    const QColor failed = colourOf(kStatusLoginFailed);
    QVERIFY2(failed.hslHue() <= 10 && failed.hslSaturation() > 200, qPrintable(failed.name()));
    const QColor succeeded = colourOf(kStatusLoginSuccessfully);
    QVERIFY2(succeeded.hslHue() >= 90 && succeeded.hslHue() <= 150 && succeeded.hslSaturation() > 200,
             qPrintable(succeeded.name()));

    // The status cell takes its status's colour, the action cell a colour of its own, other cells none.
    DeviceRecord record;
    for (record.status = 0; record.status < kStatusCount; ++record.status) {
        QCOMPARE(ControllerListModel::CellColor(record, ControllerListModel::kColumnStatus).value(),
                 colourOf(record.status));
        QVERIFY(!ControllerListModel::CellColor(record, ControllerListModel::kColumnName).has_value());
    }
    const QColor action = ControllerListModel::CellColor(record, ControllerListModel::kColumnAction).value();
    QVERIFY(ContrastRatio(action, white) >= ControllerListDelegate::kMinContrast);
}

void ControllerListCellsTest::rowImages()
{
    // Each kind of device has a picture of its own; both Dactyl kinds are readers, and a kind this
    // version does not know shows as a plain module.
    const auto picture = [](ModuleKind kind) {
        DeviceRecord record;
        record.kind = kind;
        tarrowind::UiCallGate gate;
        CControllerListCtrl list(gate, nullptr);
        list.AddModule(&record);
        list.FlushPendingRows();
        const QVariant icon = list.model()->index(0, ControllerListModel::kColumnModel).data(Qt::DecorationRole);
        return icon.value<QIcon>().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    };
    const QImage module = picture(ModuleKind::Web);
    const QImage reader = picture(ModuleKind::WebDactyl);
    const QImage desk = picture(ModuleKind::LongReply);
    QCOMPARE(module.size(), QSize(16, 16));
    QVERIFY(module != reader && reader != desk && module != desk);
    QCOMPARE(picture(ModuleKind::BinaryDactyl), reader);
    QCOMPARE(picture(static_cast<ModuleKind>(9)), module);
}

void ControllerListCellsTest::progressBarOnlyWhileUpdatingOrWaitingAndDrawnCapped()
{
    DeviceRecord record;
    record.ipText = "10.0.0.1";
    ShownRow row(record);
    QVERIFY(QTest::qWaitForWindowExposed(&row.list));
    DeviceRecord& shown = row.Live();
    const QRect cell = row.Cell(ControllerListModel::kColumnProgress);
    const QRect bar = ControllerListDelegate::ProgressBarRect(cell);
    const QPoint nearLeft(bar.left() + 2, bar.center().y());
    const QPoint nearRight(bar.right() - 2, bar.center().y());
    const QColor blue = ControllerListDelegate::kProgressBar;
    const QColor grey = ControllerListDelegate::kProgressBackground;

    shown.progress = 50;
    for (const int status : {17, 1, 19, 6}) {
        shown.status = status;
        const QImage picture = row.Picture();
        QVERIFY2(picture.pixelColor(nearLeft) != blue && picture.pixelColor(nearLeft) != grey,
                 qPrintable(QString::number(status)));
    }
    for (const int status : {18, 22, 23}) {
        shown.status = status;
        const QImage picture = row.Picture();
        QCOMPARE(picture.pixelColor(nearLeft), blue);
        QCOMPARE(picture.pixelColor(nearRight), grey);
    }
    shown.progress = 0;
    QImage picture = row.Picture();
    QCOMPARE(picture.pixelColor(bar.left(), bar.center().y()), blue);  // the frame
    QCOMPARE(picture.pixelColor(nearLeft), grey);
    shown.progress = 100;
    const QImage full = row.Picture();
    QCOMPARE(full.pixelColor(nearRight), blue);
    QVERIFY(full.pixelColor(bar.right() + 2, bar.center().y()) != blue);

    // More than 100 looks like 100, bar and text, and the record keeps what the module said.
    shown.progress = 1000;
    QCOMPARE(row.Picture().copy(cell), full.copy(cell));
    QCOMPARE(row.list.SnapshotAt(0)->progress, 1000);
    shown.progress = -5;
    picture = row.Picture();
    QCOMPARE(picture.pixelColor(nearLeft), grey);
    QCOMPARE(ControllerListDelegate::ProgressFillWidth(63, 45), 28LL);
    QCOMPARE(ControllerListDelegate::ProgressFillWidth(63, 250), 63LL);
}

void ControllerListCellsTest::selectedRowHasTheUnfocusedHighlightAndDarkText()
{
    DeviceRecord record;
    record.name = "Door";
    ShownRow row(record, DarkPalette());
    QVERIFY(QTest::qWaitForWindowExposed(&row.list));
    row.list.clearFocus();
    row.list.SelectAll();
    const QRect empty = row.Cell(ControllerListModel::kColumnAdapter);
    const QImage picture = row.Picture();
    const auto colours = ControllerListDelegate::Highlight(false);
    QCOMPARE(picture.pixelColor(empty.center().x(), empty.top()), colours.outer);
    const QColor middle = picture.pixelColor(empty.center());
    QVERIFY(middle.red() <= colours.top.red() && middle.red() >= colours.bottom.red());
    QVERIFY(middle != row.list.palette().color(QPalette::Base));
    // The palette's light text would vanish on the light selection: the name is drawn dark.
    const QColor text = MostContrasting(picture, row.Cell(ControllerListModel::kColumnName), middle);
    QVERIFY2(text.lightness() < 80, qPrintable(text.name()));
}

void ControllerListCellsTest::currentRowShowsAFocusFrameWhileTheListHasFocus()
{
    DeviceRecord record;
    tarrowind::UiCallGate gate;
    CControllerListCtrl list(gate, nullptr);
    for (int i = 0; i < 2; ++i) {
        list.AddModule(&record);
    }
    list.FlushPendingRows();
    list.resize(list.ColumnsWidth() + 20, 120);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.clearFocus();
    list.selectionModel()->setCurrentIndex(list.model()->index(0, 0), QItemSelectionModel::NoUpdate);
    QCOMPARE(list.SelectedCount(), 0);
    const auto rowPicture = [&](int row) {
        const QRect first = list.visualRect(list.model()->index(row, 0));
        const QRect last = list.visualRect(list.model()->index(row, ControllerListModel::kColumnCount - 1));
        return list.viewport()->grab(first.united(last)).toImage().convertToFormat(QImage::Format_RGB32);
    };
    const QImage current = rowPicture(0);
    const QImage other = rowPicture(1);
    QCOMPARE(current, other);  // without the focus the current row looks like any other

    list.activateWindow();
    list.setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&list));
    QTRY_VERIFY(list.hasFocus());
    // A frame along the whole row, not around one cell; the other row unchanged.
    const QImage framed = rowPicture(0);
    int changed = 0;
    for (int x = 0; x < framed.width(); ++x) {
        changed += framed.pixelColor(x, 1) != current.pixelColor(x, 1) ? 1 : 0;
    }
    QVERIFY2(changed > framed.width() * 3 / 4, qPrintable(QString::number(changed)));
    QCOMPARE(rowPicture(1), other);
}

void ControllerListCellsTest::coloursStayReadableOnADarkPalette()
{
    const QColor dark(30, 30, 30);
    const QColor white(255, 255, 255);
    DeviceRecord any;
    std::vector<QColor> used{ControllerListModel::CellColor(any, ControllerListModel::kColumnAction).value()};
    for (std::int32_t status = 0; status < tarrowind::kStatusCount; ++status) {
        used.push_back(ControllerListModel::StatusColor(status).value());
    }
    for (const QColor& colour : used) {
        const QColor shown = ControllerListDelegate::Readable(colour, dark);
        QVERIFY2(ContrastRatio(shown, dark) >= ControllerListDelegate::kMinContrast,
                 qPrintable(colour.name()));
        QCOMPARE(ControllerListDelegate::Readable(colour, white), colour);  // made for light backgrounds
    }
    const QColor maroon = ControllerListDelegate::Readable(Rgb(128, 0, 0), dark);
    QCOMPARE(maroon.hslHue(), 0);
    QVERIFY(maroon.red() > maroon.green() + 60);
    QCOMPARE(ControllerListDelegate::Readable(Rgb(255, 128, 0), dark), Rgb(255, 128, 0));  // already readable

    // As painted: the black status and the maroon action of an unselected row on a dark Base.
    DeviceRecord record;
    record.status = tarrowind::kStatusNotSupported;
    record.action = tarrowind::kActionReboot;
    ShownRow row(record, DarkPalette());
    QVERIFY(QTest::qWaitForWindowExposed(&row.list));
    const QImage picture = row.Picture();
    const QColor status = MostContrasting(picture, row.Cell(ControllerListModel::kColumnStatus), dark);
    QVERIFY2(ContrastRatio(status, dark) >= 3.0, qPrintable(status.name()));
    const QColor action = MostContrasting(picture, row.Cell(ControllerListModel::kColumnAction), dark);
    QVERIFY2(ContrastRatio(action, dark) >= 3.0, qPrintable(action.name()));
    QVERIFY2(action.red() > action.green() + 40, qPrintable(action.name()));  // still red
}

void ControllerListCellsTest::columnsFitTheirWidestTextsAndKeepAUsersWidth()
{
    DeviceRecord record;
    record.macText = "DD:DD:DD:DD:DD:DD";
    record.ipText = "255.255.255.255";
    record.maskText = "255.255.255.255";
    record.gatewayText = "200.200.200.200";
    record.action = tarrowind::kActionFirmwareUpdateToLatest;
    ShownRow row(record);
    QVERIFY(QTest::qWaitForWindowExposed(&row.list));
    QHeaderView* header = row.list.horizontalHeader();
    const auto& widths = ControllerListModel::Columns();
    const auto check = [&] {
        for (int column = 0; column < ControllerListModel::kColumnCount; ++column) {
            QVERIFY(header->sectionSize(column) >= widths[static_cast<std::size_t>(column)].width);
        }
        for (const int column : {ControllerListModel::kColumnMac, ControllerListModel::kColumnIp,
                                 ControllerListModel::kColumnMask, ControllerListModel::kColumnGateway,
                                 ControllerListModel::kColumnAction}) {
            QVERIFY2(!row.IsCut(column), qPrintable(QString::number(column)));
        }
        for (int status = 0; status < tarrowind::kStatusCount; ++status) {
            row.Live().status = status;
            row.list.Refresh(row.Live());
            QVERIFY2(!row.IsCut(ControllerListModel::kColumnStatus), qPrintable(QString::number(status)));
        }
    };
    check();

    // A larger font widens the columns, except that one the user made wider stays as it is.
    const int name = header->sectionSize(ControllerListModel::kColumnName) + 150;
    header->resizeSection(ControllerListModel::kColumnName, name);
    const int status = header->sectionSize(ControllerListModel::kColumnStatus);
    QFont font = row.list.font();
    font.setPointSizeF(font.pointSizeF() * 1.6);
    row.list.setFont(font);
    QVERIFY(header->sectionSize(ControllerListModel::kColumnStatus) > status);
    QCOMPARE(header->sectionSize(ControllerListModel::kColumnName), name);
    check();
}

void ControllerListCellsTest::nameColumnsWidenToTheirLongestTextWithinTheWindow()
{
    DeviceRecord record;
    record.name = "Main entrance, north wing, second floor, east stairway";
    record.adapterName = "Intel(R) Ethernet Connection (7) I219-LM";
    record.ipText = "192.0.2.10";
    ShownRow row(record);
    QVERIFY(QTest::qWaitForWindowExposed(&row.list));
    QHeaderView* header = row.list.horizontalHeader();
    QVERIFY(row.IsCut(ControllerListModel::kColumnName));
    std::vector<int> before;
    for (int column = 0; column < ControllerListModel::kColumnCount; ++column) {
        before.push_back(header->sectionSize(column));
    }

    // No room beside the other columns at their headers' widths: nothing moves.
    row.list.resize(before[ControllerListModel::kColumnName] * 3, 120);
    row.list.FitNameColumns();
    QCOMPARE(header->sectionSize(ControllerListModel::kColumnName), before[ControllerListModel::kColumnName]);

    // Room enough: both names show whole, no other column changes; a width the user set stays.
    const int userSet = before[ControllerListModel::kColumnModel] + 7;
    header->resizeSection(ControllerListModel::kColumnModel, userSet);
    row.list.resize(row.list.ColumnsWidth() + 1000, 120);
    row.list.FitNameColumns();
    QVERIFY(!row.IsCut(ControllerListModel::kColumnName));
    QVERIFY(!row.IsCut(ControllerListModel::kColumnAdapter));
    QCOMPARE(header->sectionSize(ControllerListModel::kColumnModel), userSet);
    for (const int column : {ControllerListModel::kColumnIp, ControllerListModel::kColumnStatus}) {
        QCOMPARE(header->sectionSize(column), before[static_cast<std::size_t>(column)]);
    }
}

void ControllerListCellsTest::aCutCellOrAFailedRowHasATooltipAndItIsLiteral()
{
    using namespace tarrowind;
    DeviceRecord record;
    record.name = "<b>Door</b> & a very long name from the network, much wider than its column";
    record.model = "QT-DC410";
    ShownRow row(record);
    QVERIFY(QTest::qWaitForWindowExposed(&row.list));
    QVERIFY(row.IsCut(ControllerListModel::kColumnName));
    QVERIFY(!row.IsCut(ControllerListModel::kColumnModel));
    QVERIFY(!row.IsCut(ControllerListModel::kColumnProgress));

    const auto hover = [&](int column) {
        const QPoint at = row.Cell(column).center();
        QHelpEvent event(QEvent::ToolTip, at, row.list.viewport()->mapToGlobal(at));
        QApplication::sendEvent(row.list.viewport(), &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QCOMPARE(hover(ControllerListModel::kColumnModel), QString());
    const QString tip = hover(ControllerListModel::kColumnName);
    QVERIFY(tip.contains("&lt;b&gt;Door&lt;/b&gt; &amp; a very long name"));
    QVERIFY(!tip.contains("<b>"));
    // Widened to fit, the same cell has none.
    row.list.horizontalHeader()->resizeSection(ControllerListModel::kColumnName, 1000);
    QVERIFY(!row.IsCut(ControllerListModel::kColumnName));

    // A failed row's status says why even though its text fits; it says nothing once logged in.
    row.Live().status = kStatusLoginFailed;
    row.Live().failureReason = FailureReason::CredentialsRefused;
    row.list.Refresh(row.Live());
    QVERIFY(!row.IsCut(ControllerListModel::kColumnStatus));
    const QString why = QString::fromStdString(Text("ORB_IDS_WHY_CREDENTIALS_REFUSED"));
    QVERIFY2(hover(ControllerListModel::kColumnStatus).contains(why.toHtmlEscaped()), qPrintable(why));
    row.Live().status = kStatusLoginSuccessfully;
    row.Live().failureReason = FailureReason::None;
    row.list.Refresh(row.Live());
    QTRY_COMPARE(hover(ControllerListModel::kColumnStatus), QString());  // the shown one fades first
}

QTEST_MAIN(ControllerListCellsTest)
#include "controller_list_cells_test.moc"
