#pragma once

#include <QPoint>
#include <QTableView>

#include <vector>

#include "discovery/core_events.h"

namespace tarrowind {

class ControllerListDelegate;
class ControllerListModel;
class UiCallGate;

// The device list of the main window: one row per module found, sortable by a click on a
// column header, drawn by ControllerListDelegate. It owns the Device records behind its rows (their
// addresses stay fixed until Clear, as workers hold them) and only ever reads them after copying.
//
// As CoreEvents it receives the search's add-module message: OnModuleFound runs on the search thread
// and crosses to the window thread through the gate, so the sender's record stays valid while it is copied.
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
    // The add-module message's handling on the window thread: a null record is ignored. Returns 0.
    int AddModule(const DeviceRecord* record);

    // Frees every record and removes every row; removes the sort arrow and the sorted-column mark and
    // clears the ascending flag, but keeps the sort column (its next click sorts ascending).
    void Clear();
    int RowOfRecord(const DeviceRecord* record) const;  // -1 when not in the list
    void RedrawRow(int row);                            // repaint one row from its record
    DeviceRecord* RecordAt(int row) const;
    std::vector<DeviceRecord*> SelectedRecords() const;  // in the order the rows are shown
    int SelectedCount() const;
    void SelectAll();
    int RowCount() const;

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
    void defaultActionRequested();                // double click (left)
    void rightDoubleClicked();                    // right-button double click
    void contextMenuRequested(QPoint globalPos);  // right click; globalPos is one pixel below the click

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void UpdateRowHeight();
    void SetSelectedColumn(int column);

    UiCallGate& m_gate;
    CoreEvents* m_reportWindow;
    ControllerListModel* m_model;
    ControllerListDelegate* m_delegate;
    int m_sortColumn = -1;
    bool m_ascending = false;
    CompareFunction m_compare = &CompareRows;
    bool m_rightPressed = false;  // a right press in the rows, waiting for its release
};

}  // namespace tarrowind
