#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "commands/firmware_glance.h"
#include "commands/row_filter.h"
#include "discovery/device_record.h"

namespace tarrowind {

// The rows of the device list: one Device record per row, owned here, and beside it a snapshot of the
// fields the list shows. Workers write the records at any time; the snapshot is taken only when the row
// is added and by Refresh, which runs while the record's worker waits in its report. Every cell, colour,
// tooltip and sort key comes from the snapshot, never from the live record.
//
// A filter can hide rows: row numbers count the rows shown only. A row is matched against the filter
// when the filter changes and when it is added; a row whose state changes meanwhile stays shown, so that
// rows do not vanish under the user while their actions run.
class ControllerListModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column : int {
        kColumnModel = 0,
        kColumnVersion = 1,
        kColumnName = 2,
        kColumnMac = 3,
        kColumnIp = 4,
        kColumnMask = 5,
        kColumnGateway = 6,
        kColumnAdapter = 7,
        kColumnAction = 8,
        kColumnStatus = 9,
        kColumnProgress = 10,
        kColumnFirmware = 11,  // whether the firmware folder lists newer firmware for a logged-in module
        kColumnCount = 12,
    };

    // The row images, in the order of the list's image list.
    enum RowImage : int {
        kImageModuleBox = 0,
        kImageReader = 1,
        kImageDeskDevice = 2,
        kRowImageCount = 3,
    };

    // Header key and width in pixels of each column.
    struct ColumnInfo {
        const char* headerKey;
        int width;
    };
    static const std::array<ColumnInfo, kColumnCount>& Columns();

    explicit ControllerListModel(QObject* parent = nullptr);
    ~ControllerListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Appends one row per record (taking them over) at the end, in one insertion; rows that the filter
    // does not keep are held but not shown.
    void Append(std::vector<std::unique_ptr<DeviceRecord>> records);
    // Shows the rows whose name, model, version, MAC, IP, adapter, action or status text contains
    // `typed`, case folded; all rows when it is empty. False when the filter stayed the same.
    bool SetFilter(const std::string& typed);
    const RowFilter& Filter() const { return m_filter; }
    int TotalCount() const { return static_cast<int>(m_all.size()); }
    // Reads the firmware list of `folder` (empty: none known) and shows each logged-in row's standing
    // against it; rows added or refreshed later are matched against the same reading.
    void SetFirmwareFolder(const std::string& folder);
    // Frees every record and removes every row.
    void Clear();
    // Orders the rows by `less` over their snapshots; selection and current index follow their records.
    void SortRows(const std::function<bool(const DeviceRecord&, const DeviceRecord&)>& less);
    // Takes a new snapshot of the record's row and tells the views about that row only. Only while
    // nobody writes the record (the sender of its report waits). False when the record has no row.
    bool Refresh(const DeviceRecord& record);

    DeviceRecord* RecordAt(int row) const;           // the live record, for the commands
    const DeviceRecord* SnapshotAt(int row) const;   // what the row shows; stays valid until Clear
    int RowOfRecord(const DeviceRecord* record) const;  // -1 when not in the list or hidden
    // Every row held, shown or hidden, in list order: its snapshot and its live record.
    std::vector<std::pair<const DeviceRecord*, DeviceRecord*>> AllRows() const;

    // The fields the list and the commands' state read: everything but the credentials, firmware file
    // names and the queued settings payload, which need not live in the view.
    static DeviceRecord ShownFields(const DeviceRecord& record);

    // A longer note for the status cell's tooltip of a row (empty: the status text alone).
    std::function<QString(const DeviceRecord& shown)> statusNote;
    // Whether the cell's tooltip says more than its text: why the row failed, a note, or the version
    // before an update. Such a tooltip is shown even when the text fits.
    bool TipSaysMore(const QModelIndex& index) const;

    // The cell texts of a record (the model passes its snapshots).
    static QString CellText(const DeviceRecord& record, int column);
    // The adapter column's text: the program's own adapter names translated.
    static QString AdapterText(const DeviceRecord& record);
    // The cell text as shown: addresses and model codes isolated left to right, names by their own
    // direction, so that a right-to-left window never reorders their parts.
    static QString DisplayText(const DeviceRecord& record, int column);
    // An address, MAC or model text isolated left to right, as the list and the dialogs show them.
    static QString LeftToRight(const QString& text);
    // A sentence with every address or range in it isolated left to right, as examples and notes show them.
    static QString AddressesLeftToRight(const QString& text);
    static QString ActionText(std::int32_t action);
    static QString StatusText(std::int32_t status);
    // The status colour table; none for codes outside it (the system text colour is used).
    static std::optional<QColor> StatusColor(std::int32_t status);
    // The text colour of a cell; none where the system text colour is used.
    static std::optional<QColor> CellColor(const DeviceRecord& record, int column);
    // A tooltip that shows `text` literally: Qt takes a tooltip that looks like markup for rich text, and
    // module names and plan texts come from the network and from files.
    static QString PlainToolTip(const QString& text);
    // A row whose reply named an address other than its sender's is marked with this background and
    // this warning as every cell's tooltip.
    static QColor UnconfirmedBackground();
    static QString UnconfirmedText(const DeviceRecord& record);
    // Image 0 for Web and unknown kinds, 1 for both Dactyl kinds, 2 for LongReply.
    static int RowImageIndex(ModuleKind kind);
    // The row image `image` (image 0 for numbers outside the list).
    QIcon RowIcon(int image) const;
    // Column 10 shows the progress bar only while firmware is updating or the module is awaited.
    static bool ShowsProgress(std::int32_t status);

    // The texts that can stand in the action and status columns, for fitting the columns.
    static QStringList ActionTexts();
    static QStringList StatusTexts();

private:
    struct Row {
        std::unique_ptr<DeviceRecord> record;
        DeviceRecord snapshot;
        std::string folded;  // the snapshot's filtered texts, folded; made when a filter first needs it
        bool foldedValid = false;
        int shown = -1;  // its row number while shown
    };

    bool Keeps(Row& row);
    void TakeSnapshot(Row& row);
    void Number();  // the row numbers of the rows shown

    // Each row apart, so that a snapshot's address outlives appends and sorts.
    std::vector<std::unique_ptr<Row>> m_all;  // every row, in list order
    std::vector<Row*> m_rows;                 // the rows shown, in list order
    std::unordered_map<const DeviceRecord*, Row*> m_rowOf;
    RowFilter m_filter;
    FirmwareGlance m_firmware;  // the list as read once, not at each paint
    std::array<std::string, 7> m_foldedActions;
    std::array<std::string, kStatusCount> m_foldedStatuses;
    std::array<QIcon, kRowImageCount> m_icons;
};

}  // namespace tarrowind
