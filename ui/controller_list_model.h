#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QIcon>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "discovery/device_record.h"

namespace tarrowind {

// The rows of the device list: one Device record per row, owned here. No text is stored:
// every cell is computed from the record when it is asked for, so a repaint shows the current values.
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
        kColumnCount = 11,
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

    // Appends a row for the record (taking it over) and returns the row.
    int Append(std::unique_ptr<DeviceRecord> record);
    // Frees every record and removes every row.
    void Clear();
    // Orders the rows by `less`; selection and current index follow their records.
    void SortRows(const std::function<bool(const DeviceRecord&, const DeviceRecord&)>& less);
    // Tells the views that every cell of the row may have changed.
    void RowChanged(int row);

    DeviceRecord* RecordAt(int row) const;
    int RowOfRecord(const DeviceRecord* record) const;

    // The cell texts, from the record as it is now.
    static QString CellText(const DeviceRecord& record, int column);
    static QString ActionText(std::int32_t action);
    static QString StatusText(std::int32_t status);
    // The status colour table; none for codes outside it (the system text colour is used).
    static std::optional<QColor> StatusColor(std::int32_t status);
    // The text colour of a cell; none where the system text colour is used.
    static std::optional<QColor> CellColor(const DeviceRecord& record, int column);
    // Image 0 for Web and unknown kinds, 1 for both Dactyl kinds, 2 for LongReply.
    static int RowImageIndex(ModuleKind kind);
    // The row image `image` (image 0 for numbers outside the list).
    QIcon RowIcon(int image) const;
    // Column 10 shows the progress bar only while firmware is updating or the module is awaited.
    static bool ShowsProgress(std::int32_t status);

private:
    std::vector<std::unique_ptr<DeviceRecord>> m_records;
    std::array<QIcon, kRowImageCount> m_icons;
};

}  // namespace tarrowind
