#include "ui/controller_list_ctrl.h"

#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>

#include <algorithm>

#include "discovery/address_text.h"
#include "ui/controller_list_delegate.h"
#include "ui/controller_list_model.h"
#include "ui/ui_call_gate.h"

namespace tarrowind {

namespace {

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
std::uint32_t IpSortKey(const std::string& text)
{
    const std::uint32_t network = InetAddr(text);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&network);
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           std::uint32_t{bytes[3]};
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

    QHeaderView* header = horizontalHeader();
    header->setSectionsMovable(true);  // columns can be dragged into another order
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSortIndicatorShown(false);
    const auto& columns = ControllerListModel::Columns();
    for (int column = 0; column < ControllerListModel::kColumnCount; ++column) {
        header->resizeSection(column, columns[static_cast<std::size_t>(column)].width);
    }
    UpdateRowHeight();

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
    auto copy = std::make_unique<DeviceRecord>(*record);
    copy->reportWindow = m_reportWindow;
    m_model->Append(std::move(copy));  // at the end, also while the rows are sorted
    return 0;
}

void CControllerListCtrl::Clear()
{
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
}

int CControllerListCtrl::RowOfRecord(const DeviceRecord* record) const
{
    return m_model->RowOfRecord(record);
}

void CControllerListCtrl::RedrawRow(int row)
{
    m_model->RowChanged(row);
}

DeviceRecord* CControllerListCtrl::RecordAt(int row) const
{
    return m_model->RecordAt(row);
}

std::vector<DeviceRecord*> CControllerListCtrl::SelectedRecords() const
{
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<DeviceRecord*> records;
    records.reserve(static_cast<std::size_t>(rows.size()));
    for (const QModelIndex& index : rows) {
        if (DeviceRecord* record = m_model->RecordAt(index.row())) {
            records.push_back(record);
        }
    }
    return records;
}

int CControllerListCtrl::SelectedCount() const
{
    return static_cast<int>(selectionModel()->selectedRows().size());
}

void CControllerListCtrl::SelectAll()
{
    selectAll();
}

int CControllerListCtrl::RowCount() const
{
    return m_model->rowCount();
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
