#pragma once

#include <QPoint>
#include <QTableView>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>
#include <vector>

#include "discovery/core_events.h"

namespace tarrowind {

class ControllerListDelegate;
class ControllerListModel;
class UiCallGate;

// The device list of the main window: one row per module found, sortable by a click on a
// column header, drawn by the style with ControllerListDelegate's selection look and progress bar. It
// owns the Device records behind its rows (their addresses stay fixed until Clear, as workers hold
// them). Workers write those records without a lock, so the list shows, sorts and hands out for the
// commands' state only each row's snapshot, taken while the record's writer waits: at the row's
// addition and in Refresh, which the main window calls inside a report.
//
// As CoreEvents it receives the search's add-module message: OnModuleFound runs on the search thread
// and crosses to the window thread through the gate, so the sender's record stays valid while it is
// copied. The copies wait in a batch that is inserted at the next turn of the event loop, so that a
// search in which thousands of modules answer costs one insertion and one repaint per batch.
class CControllerListCtrl final : public QTableView, public CoreEvents {
    Q_OBJECT

public:
    // The row comparison used for sorting: negative, zero or positive for record A against record B,
    // with the list's sort column and order.
    using CompareFunction = int (*)(const DeviceRecord& a, const DeviceRecord& b, const CControllerListCtrl& list);

    // `reportWindow` becomes the reportWindow of every record the list copies (the main window).
    CControllerListCtrl(UiCallGate& gate, CoreEvents* reportWindow, QWidget* parent = nullptr);
    ~CControllerListCtrl() override;

    // Add-module message, from the search thread: copies the record into a new last row.
    void OnModuleFound(const DeviceRecord& record) override;
    // The add-module message's handling on the window thread: copies the record into the batch of rows
    // still to be shown (at the end, also while sorted); a null record is ignored. Returns 0.
    int AddModule(const DeviceRecord* record);
    // From the search thread: a module listed with an unconfirmed address answered from the address it
    // names; its row (shown or waiting) takes the confirmed record.
    void OnModuleConfirmed(const DeviceRecord& record) override;
    // Its handling on the window thread: the row with the record's MAC text takes over its fields, unless
    // an action runs on it. False when no such row is held.
    bool ReplaceModule(const DeviceRecord& record);
    // Inserts the waiting rows now, in one insertion (else the event loop does it at its next turn).
    void FlushPendingRows();

    // Frees every record, shown or waiting, and removes every row; removes the sort arrow and the
    // sorted-column mark and clears the ascending flag, but keeps the sort column (its next click sorts
    // ascending).
    void Clear();

    // A report: takes the snapshot of the record's row and repaints that row. Call it on the window
    // thread while nobody writes the record (its sender waits). False when the record is not shown.
    bool Refresh(const DeviceRecord& record);
    // The same for the record of a row.
    void RedrawRow(int row);

    int RowOfRecord(const DeviceRecord* record) const;  // -1 when not in the list
    DeviceRecord* RecordAt(int row) const;               // the live record: for the commands to change
    const DeviceRecord* SnapshotAt(int row) const;       // what the row shows; valid until Clear
    std::vector<DeviceRecord*> SelectedRecords() const;  // in the order the rows are shown
    std::vector<const DeviceRecord*> SelectedSnapshots() const;  // the same rows' snapshots
    int SelectedCount() const;
    void SelectAll();
    int RowCount() const;  // rows shown; waiting ones not yet
    int TotalCount() const;  // rows held, shown or hidden by the filter; waiting ones not yet
    // Shows only the rows whose texts contain `typed` (see ControllerListModel::SetFilter). The selection
    // and the current row keep the records still shown.
    void SetFilter(const QString& typed);

    // Width of all columns and the frame: what the window needs to show every column whole.
    int ColumnsWidth() const;
    // At the end of a search (showing the waiting rows first): widens the name columns to their longest
    // text, as far as the list's width leaves room beside the other columns at their headers' widths.
    // Never narrows a column, and leaves alone one whose width the user set or the window restored.
    void FitNameColumns();

    void doItemsLayout() override;

    // A header click: reverses the order on the sort column, else sorts the new column ascending.
    void Sort(int column);
    int SortColumn() const { return m_sortColumn; }
    bool SortAscending() const { return m_ascending; }

    // The row comparison that Sort uses, with the list's sort column and ascending flag.
    static int CompareRows(const DeviceRecord& a, const DeviceRecord& b, const CControllerListCtrl& list);
    // The same for any column and order, without a list.
    static int CompareRecords(const DeviceRecord& a, const DeviceRecord& b, int column, bool ascending);
    // Ordinal comparison of two IPv4 address texts as numbers; a text that is no address sorts last.
    static int CompareIpTexts(const std::string& a, const std::string& b);

    ControllerListModel* Model() const { return m_model; }
    ControllerListDelegate* Delegate() const { return m_delegate; }

signals:
    void itemChanged();                           // any change of a row's state, selection included
    void countsChanged();                         // rows were added, removed, hidden or shown
    void defaultActionRequested();                // double click (left)
    void rightDoubleClicked();                    // right-button double click
    void contextMenuRequested(QPoint globalPos);  // right click; globalPos is one pixel below the click

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void UpdateRowHeight();
    void SetSelectedColumn(int column);
    // Each column at least its own width and as wide as the widest text it can show in this font;
    // a column the user widened stays as wide.
    void FitColumns();
    int ContentWidth(int column, const QStringList& samples) const;

    UiCallGate& m_gate;
    CoreEvents* m_reportWindow;
    ControllerListModel* m_model;
    ControllerListDelegate* m_delegate;
    int m_sortColumn = -1;
    bool m_ascending = false;
    CompareFunction m_compare = &CompareRows;
    bool m_rightPressed = false;  // a right press in the rows, waiting for its release
    std::vector<std::unique_ptr<DeviceRecord>> m_pending;  // found, not yet shown
    QTimer m_flushTimer;
    QElapsedTimer m_sinceFlush;       // batches during a burst are kMinBatchGapMs apart
    bool m_appendedOffScreen = false;  // the layout to come only adds rows below the visible ones
    std::vector<int> m_fittedWidths;  // the widths FitColumns last set, by column
};

}  // namespace tarrowind
