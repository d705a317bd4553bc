#include "ui/device_list/controller_list_ctrl.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionHeader>
#include <QStyleOptionViewItem>

#include <algorithm>
#include <array>
#include <cstdio>

#include "discovery/address_text.h"
#include "platform/ipv4_address.h"
#include "ui/device_list/controller_list_delegate.h"
#include "ui/device_list/controller_list_model.h"
#include "ui/main_window/ui_call_gate.h"

namespace tarrowind {

namespace {

// A burst of modules found is shown in batches this far apart: each batch costs a layout and maybe a
// repaint, while a single row costs next to nothing. A module found after a quiet spell shows at once.
constexpr int kMinBatchGapMs = 50;

int Sign(long long value)
{
    return (value > 0) - (value < 0);
}

int CompareNumbers(std::int32_t a, std::int32_t b)
{
    return a > b ? 1 : (a < b ? -1 : 0);
}

// The address as a number with the first dotted number most significant: the same order as the
// zero-padded "%.3d.%.3d.%.3d.%.3d" texts compared ordinally. Bad texts give 255.255.255.255 and so sort last.
// "V3.21.0-1234" as numbers, so that V3.9 sorts before V3.10.
std::array<int, 4> VersionNumbers(const std::string& version)
{
    std::array<int, 4> n{};
    std::sscanf(version.c_str(), "V%d.%d.%d-%d", &n[0], &n[1], &n[2], &n[3]);
    return n;
}

std::uint32_t IpSortKey(const std::string& text)
{
    return NetworkToHostOrder(InetAddr(text));
}

}  // namespace

CControllerListCtrl::CControllerListCtrl(UiCallGate& gate, CoreEvents* reportWindow, QWidget* parent)
    : QTableView(parent),
      m_gate(gate),
      m_reportWindow(reportWindow),
      m_model(new ControllerListModel(this)),
      m_delegate(new ControllerListDelegate(this))
{
    setModel(m_model);
    setItemDelegate(m_delegate);
    m_delegate->SetThemedSystem(true);

    // Report view: full-row, several rows at once, grid lines, no editing, no automatic sorting.
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setSortingEnabled(false);
    setDragEnabled(false);
    setTabKeyNavigation(false);  // a tab stop: Tab leaves the list
    setFocusPolicy(Qt::StrongFocus);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    verticalHeader()->hide();
    // Rows of one fixed height: nothing is measured per row, however many the search adds.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    QHeaderView* header = horizontalHeader();
    header->setSectionsMovable(true);  // columns can be dragged into another order
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSortIndicatorShown(false);
    FitColumns();
    UpdateRowHeight();

    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(0);
    connect(&m_flushTimer, &QTimer::timeout, this, &CControllerListCtrl::FlushPendingRows);

    connect(header, &QHeaderView::sectionClicked, this, &CControllerListCtrl::Sort);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &CControllerListCtrl::itemChanged);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &CControllerListCtrl::itemChanged);
}

CControllerListCtrl::~CControllerListCtrl()
{
    // No record outlives the list; nobody is told, the window is going away.
    const QSignalBlocker blocker(this);
    m_model->Clear();
}

void CControllerListCtrl::OnModuleFound(const DeviceRecord& record)
{
    // Search thread: the record is the sender's and is valid only while it waits here.
    m_gate.Call([&] { AddModule(&record); });
}

int CControllerListCtrl::AddModule(const DeviceRecord* record)
{
    if (record == nullptr) {
        return 0;
    }
    // The sender waits: copy and go. The model and the views hear of the row with the rest of its batch.
    auto copy = std::make_unique<DeviceRecord>(*record);
    copy->reportWindow = m_reportWindow;
    m_pending.push_back(std::move(copy));
    if (!m_flushTimer.isActive()) {
        const qint64 since = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : kMinBatchGapMs;
        m_flushTimer.start(static_cast<int>(std::max<qint64>(0, kMinBatchGapMs - since)));
    }
    return 0;
}

void CControllerListCtrl::OnModuleConfirmed(const DeviceRecord& record)
{
    m_gate.Call([&] { ReplaceModule(record); });
}

bool CControllerListCtrl::ReplaceModule(const DeviceRecord& record)
{
    const auto takeOver = [&](DeviceRecord& row) {
        CoreEvents* const window = row.reportWindow;
        row = record;
        row.reportWindow = window;
    };
    for (auto& waiting : m_pending) {
        if (waiting->macText == record.macText) {
            takeOver(*waiting);
            return true;
        }
    }
    for (const auto& [shown, live] : m_model->AllRows()) {
        if (live->macText != record.macText) {
            continue;
        }
        // A row that is acted on belongs to its worker; an unconfirmed one never is.
        if (live->action != kActionNone) {
            return false;
        }
        takeOver(*live);
        m_model->Refresh(*live);
        emit itemChanged();
        return true;
    }
    return false;
}

void CControllerListCtrl::FlushPendingRows()
{
    m_flushTimer.stop();
    if (m_pending.empty()) {
        return;
    }
    m_sinceFlush.start();
    // Rows added below the last visible one change the scroll bar only: no repaint of the rows.
    const int last = m_model->rowCount() - 1;
    m_appendedOffScreen = isVisible() && last >= 0 &&
                          rowViewportPosition(last) + rowHeight(last) >= viewport()->height();
    m_model->Append(std::move(m_pending));  // at the end, also while the rows are sorted
    m_pending.clear();
    emit countsChanged();
}

void CControllerListCtrl::doItemsLayout()
{
    if (m_appendedOffScreen) {
        m_appendedOffScreen = false;
        updateGeometries();
        return;
    }
    QTableView::doItemsLayout();
}

void CControllerListCtrl::Clear()
{
    m_appendedOffScreen = false;
    m_flushTimer.stop();
    m_pending.clear();
    const bool hadRows = m_model->rowCount() > 0;
    m_model->Clear();
    horizontalHeader()->setSortIndicatorShown(false);
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    SetSelectedColumn(-1);
    m_ascending = false;
    // A model reset drops the selection without a signal; the window still has to hear of it.
    if (hadRows) {
        emit itemChanged();
    }
    emit countsChanged();
}

int CControllerListCtrl::RowOfRecord(const DeviceRecord* record) const
{
    return m_model->RowOfRecord(record);
}

bool CControllerListCtrl::Refresh(const DeviceRecord& record)
{
    return m_model->Refresh(record);
}

void CControllerListCtrl::RedrawRow(int row)
{
    if (const DeviceRecord* record = m_model->RecordAt(row)) {
        m_model->Refresh(*record);
    }
}

DeviceRecord* CControllerListCtrl::RecordAt(int row) const
{
    return m_model->RecordAt(row);
}

const DeviceRecord* CControllerListCtrl::SnapshotAt(int row) const
{
    return m_model->SnapshotAt(row);
}

namespace {

std::vector<int> SortedRows(const QItemSelectionModel& selection)
{
    const QModelIndexList indexes = selection.selectedRows();
    std::vector<int> rows;
    rows.reserve(static_cast<std::size_t>(indexes.size()));
    for (const QModelIndex& index : indexes) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

}  // namespace

std::vector<DeviceRecord*> CControllerListCtrl::SelectedRecords() const
{
    std::vector<DeviceRecord*> records;
    for (const int row : SortedRows(*selectionModel())) {
        if (DeviceRecord* record = m_model->RecordAt(row)) {
            records.push_back(record);
        }
    }
    return records;
}

std::vector<const DeviceRecord*> CControllerListCtrl::SelectedSnapshots() const
{
    std::vector<const DeviceRecord*> snapshots;
    for (const int row : SortedRows(*selectionModel())) {
        if (const DeviceRecord* shown = m_model->SnapshotAt(row)) {
            snapshots.push_back(shown);
        }
    }
    return snapshots;
}

int CControllerListCtrl::SelectedCount() const
{
    return static_cast<int>(selectionModel()->selectedRows().size());
}

void CControllerListCtrl::SelectAll()
{
    selectAll();
}

int CControllerListCtrl::TotalCount() const
{
    return m_model->TotalCount();
}

void CControllerListCtrl::SetFilter(const QString& typed)
{
    FlushPendingRows();
    std::vector<const DeviceRecord*> selected;
    for (const int row : SortedRows(*selectionModel())) {
        selected.push_back(m_model->RecordAt(row));
    }
    const DeviceRecord* current = m_model->RecordAt(currentIndex().row());
    if (!m_model->SetFilter(typed.toStdString())) {
        return;
    }
    // The reset dropped the selection; rows still shown get it back, as contiguous ranges.
    std::vector<int> rows;
    rows.reserve(selected.size());
    for (const DeviceRecord* record : selected) {
        if (const int row = m_model->RowOfRecord(record); row >= 0) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    QItemSelection selection;
    const int lastColumn = m_model->columnCount() - 1;
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) {
            ++j;
        }
        selection.select(m_model->index(rows[i], 0), m_model->index(rows[j], lastColumn));
        i = j + 1;
    }
    if (const int row = m_model->RowOfRecord(current); row >= 0) {
        selectionModel()->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::NoUpdate);
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    emit itemChanged();
    emit countsChanged();
}

int CControllerListCtrl::RowCount() const
{
    return m_model->rowCount();
}

int CControllerListCtrl::ColumnsWidth() const
{
    const QHeaderView* header = horizontalHeader();
    int width = 2 * frameWidth();
    for (int column = 0; column < header->count(); ++column) {
        if (!header->isSectionHidden(column)) {
            width += header->sectionSize(column);
        }
    }
    return width;
}

void CControllerListCtrl::Sort(int column)
{
    QHeaderView* header = horizontalHeader();
    if (column == m_sortColumn) {
        m_ascending = !m_ascending;
    } else {
        if (m_sortColumn != -1) {
            header->setSortIndicator(-1, Qt::AscendingOrder);
            m_sortColumn = -1;
        }
        m_ascending = true;
        m_sortColumn = column;
    }
    // QHeaderView flips its own indicator on a click before telling us; ours is the one shown.
    header->setSortIndicator(m_sortColumn, m_ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    header->setSortIndicatorShown(true);

    if (m_sortColumn >= 0 && m_sortColumn < ControllerListModel::kColumnCount) {
        m_appendedOffScreen = false;  // every row may move
        m_model->SortRows([this](const DeviceRecord& a, const DeviceRecord& b) { return m_compare(a, b, *this) < 0; });
        SetSelectedColumn(m_sortColumn);
    }
}

int CControllerListCtrl::CompareRows(const DeviceRecord& a, const DeviceRecord& b, const CControllerListCtrl& list)
{
    return CompareRecords(a, b, list.m_sortColumn, list.m_ascending);
}

int CControllerListCtrl::CompareRecords(const DeviceRecord& a, const DeviceRecord& b, int column, bool ascending)
{
    int result = 0;
    switch (column) {
    case ControllerListModel::kColumnIp:
        result = CompareIpTexts(a.ipText, b.ipText);
        break;
    case ControllerListModel::kColumnAction:
        result = CompareNumbers(a.action, b.action);
        break;
    case ControllerListModel::kColumnStatus:
        result = CompareNumbers(a.status, b.status);
        break;
    case ControllerListModel::kColumnProgress:
        result = CompareNumbers(a.progress, b.progress);
        break;
    case ControllerListModel::kColumnFirmware:
        // By standing first, so that every module with an update stands together whatever the version.
        result = CompareNumbers(static_cast<std::int32_t>(a.firmwareStanding),
                                static_cast<std::int32_t>(b.firmwareStanding));
        if (result == 0) {
            const auto numbers = VersionNumbers(a.latestVersion) <=> VersionNumbers(b.latestVersion);
            result = numbers < 0 ? -1 : (numbers > 0 ? 1 : 0);
        }
        break;
    default:
        // Ordinal, by UTF-16 code unit, case-sensitive: the cell texts as the list shows them.
        result = Sign(ControllerListModel::CellText(a, column)
                          .compare(ControllerListModel::CellText(b, column), Qt::CaseSensitive));
        break;
    }
    if (result == 0) {
        return CompareIpTexts(a.ipText, b.ipText);  // ties: by address, always ascending
    }
    return ascending ? result : -result;
}

int CControllerListCtrl::CompareIpTexts(const std::string& a, const std::string& b)
{
    const std::uint32_t keyA = IpSortKey(a);
    const std::uint32_t keyB = IpSortKey(b);
    return keyA > keyB ? 1 : (keyA < keyB ? -1 : 0);
}

void CControllerListCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        m_rightPressed = true;
    }
    QTableView::mousePressEvent(event);
}

void CControllerListCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton && m_rightPressed) {
        m_rightPressed = false;
        emit contextMenuRequested(event->globalPosition().toPoint() + QPoint(0, 1));
    }
}

void CControllerListCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit defaultActionRequested();
    } else if (event->button() == Qt::RightButton) {
        m_rightPressed = false;  // the release that ends a double click opens no menu
        emit rightDoubleClicked();
    }
}

void CControllerListCtrl::keyPressEvent(QKeyEvent* event)
{
    // Copying is the window's command, on the selected rows; the view's own copy of the current cell
    // would answer the key when nothing is selected.
    if (event->matches(QKeySequence::Copy)) {
        event->ignore();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CControllerListCtrl::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    viewport()->update();  // the selection has other colours with the focus
}

void CControllerListCtrl::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

void CControllerListCtrl::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        UpdateRowHeight();
        FitColumns();
    }
}

int CControllerListCtrl::ContentWidth(int column, const QStringList& samples) const
{
    // The header text with room for the sort arrow, measured by the header's style as it draws it.
    const QHeaderView* header = horizontalHeader();
    QStyleOptionHeader headerOption;
    headerOption.initFrom(header);
    headerOption.orientation = Qt::Horizontal;
    headerOption.section = column;
    headerOption.text = m_model->headerData(column, Qt::Horizontal).toString();
    headerOption.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    const int plain = header->style()->sizeFromContents(QStyle::CT_HeaderSection, &headerOption, QSize(), header).width();
    headerOption.sortIndicator = QStyleOptionHeader::SortDown;
    int withArrow = header->style()->sizeFromContents(QStyle::CT_HeaderSection, &headerOption, QSize(), header).width();
    if (withArrow <= plain) {  // a style that leaves the arrow's room to the header
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, &headerOption, header);
        withArrow = plain + header->style()->pixelMetric(QStyle::PM_HeaderMarkSize, &headerOption, header) + margin;
    }
    int width = withArrow;

    // The widest sample as a cell, with the style's padding (and the icon in column 0), plus the grid line.
    QStyleOptionViewItem cell;
    initViewItemOption(&cell);
    cell.features |= QStyleOptionViewItem::HasDisplay;
    if (column == ControllerListModel::kColumnModel) {
        cell.features |= QStyleOptionViewItem::HasDecoration;
        cell.icon = m_model->RowIcon(ControllerListModel::kImageModuleBox);
        cell.decorationSize = iconSize().isValid() ? iconSize() : QSize(16, 16);
    }
    const int grid = showGrid() ? 1 : 0;
    for (const QString& sample : samples) {
        cell.text = sample;
        width = std::max(width, style()->sizeFromContents(QStyle::CT_ItemViewItem, &cell, QSize(), this).width() + grid);
    }
    return width;
}

void CControllerListCtrl::FitColumns()
{
    // Samples made of the font's widest characters, so that no address or status is cut.
    const QFontMetrics metrics = fontMetrics();
    const auto widest = [&](const QString& characters) {
        QChar best = characters.front();
        for (const QChar c : characters) {
            if (metrics.horizontalAdvance(c) > metrics.horizontalAdvance(best)) {
                best = c;
            }
        }
        return best;
    };
    const QChar digit = widest(QStringLiteral("0123456789"));
    const QChar hex = widest(QStringLiteral("0123456789ABCDEF"));
    const QString octets = QStringList(4, QString(3, digit)).join(QLatin1Char('.'));
    const QString mac = QStringList(6, QString(2, hex)).join(QLatin1Char(':'));

    std::vector<QStringList> samples(ControllerListModel::kColumnCount);
    samples[ControllerListModel::kColumnModel] = {QStringLiteral("QT-TEXT GRABBER V7K")};
    samples[ControllerListModel::kColumnVersion] = {QStringLiteral("V1.0.9-20080101")};
    samples[ControllerListModel::kColumnName] = {QStringLiteral("Main entrance 01")};
    samples[ControllerListModel::kColumnMac] = {mac};
    samples[ControllerListModel::kColumnIp] = {octets};
    samples[ControllerListModel::kColumnMask] = {octets};
    samples[ControllerListModel::kColumnGateway] = {octets};
    samples[ControllerListModel::kColumnAdapter] = {QStringLiteral("enp0s31f6")};
    samples[ControllerListModel::kColumnAction] = ControllerListModel::ActionTexts();
    samples[ControllerListModel::kColumnStatus] = ControllerListModel::StatusTexts();
    samples[ControllerListModel::kColumnProgress] = {};  // the bar has room enough at the minimum width
    {
        DeviceRecord sample;
        sample.latestVersion = "V1.0.9-20080101";
        for (const FirmwareStanding standing :
             {FirmwareStanding::UpToDate, FirmwareStanding::UpdateAvailable, FirmwareStanding::NotListed}) {
            sample.firmwareStanding = standing;
            samples[ControllerListModel::kColumnFirmware] << ControllerListModel::CellText(
                sample, ControllerListModel::kColumnFirmware);
        }
    }

    QHeaderView* header = horizontalHeader();
    m_fittedWidths.resize(ControllerListModel::kColumnCount, 0);
    const auto& columns = ControllerListModel::Columns();
    for (int column = 0; column < ControllerListModel::kColumnCount; ++column) {
        const auto index = static_cast<std::size_t>(column);
        int width = std::max(columns[index].width, ContentWidth(column, samples[index]));
        const int now = header->sectionSize(column);
        if (m_fittedWidths[index] > 0 && now > m_fittedWidths[index]) {
            width = std::max(width, now);  // widened by the user
        }
        header->resizeSection(column, width);
        m_fittedWidths[index] = width;
    }
}

void CControllerListCtrl::FitNameColumns()
{
    FlushPendingRows();
    QHeaderView* header = horizontalHeader();
    if (m_fittedWidths.size() != static_cast<std::size_t>(ControllerListModel::kColumnCount)) {
        return;
    }
    // The device's own name first: it tells the rows apart.
    constexpr std::array kNameColumns{ControllerListModel::kColumnName, ControllerListModel::kColumnModel,
                                      ControllerListModel::kColumnAdapter};
    int room = viewport()->width();
    for (int column = 0; column < ControllerListModel::kColumnCount; ++column) {
        if (header->isSectionHidden(column)) {
            continue;
        }
        const bool isName = std::find(kNameColumns.begin(), kNameColumns.end(), column) != kNameColumns.end();
        room -= isName ? header->sectionSize(column) : ContentWidth(column, {});
    }
    const QFontMetrics metrics = fontMetrics();
    for (const int column : kNameColumns) {
        const auto index = static_cast<std::size_t>(column);
        const int now = header->sectionSize(column);
        if (room <= 0 || header->isSectionHidden(column) || now != m_fittedWidths[index]) {
            continue;
        }
        // Only the widest text is measured as a cell: a range search can list thousands of rows.
        QString longest;
        int longestAdvance = -1;
        for (int row = 0; row < m_model->rowCount(); ++row) {
            const QString text = m_model->index(row, column).data(Qt::DisplayRole).toString();
            if (const int advance = metrics.horizontalAdvance(text); advance > longestAdvance) {
                longest = text;
                longestAdvance = advance;
            }
        }
        const int grow = std::min(room, ContentWidth(column, {longest}) - now);
        if (grow > 0) {
            header->resizeSection(column, now + grow);
            m_fittedWidths[index] = now + grow;
            room -= grow;
        }
    }
}

void CControllerListCtrl::UpdateRowHeight()
{
    // Room for the 16-pixel row icon and one line of text, as the platform's report rows have.
    const int height = std::max(fontMetrics().height() + 6, 16 + 4);
    verticalHeader()->setMinimumSectionSize(height);
    verticalHeader()->setDefaultSectionSize(height);
}

void CControllerListCtrl::SetSelectedColumn(int column)
{
    m_delegate->SetSelectedColumn(column);
    viewport()->update();
}

}  // namespace tarrowind
