#include "ui/controller_list_model.h"

#include <QTextDocument>

#include <algorithm>
#include <numeric>

#include "localisation/string_table.h"

// Outside any namespace, as Q_INIT_RESOURCE requires; the resources live in a static library, so
// nothing would pull them into the program without this call.
static void InitListArtwork()
{
    Q_INIT_RESOURCE(controller_list);
}

namespace tarrowind {

namespace {

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString TextOf(const char* key)
{
    return FromUtf8(Text(key));
}

// Action code n (1 to 6) shows the text of key n; 0 and unknown codes show nothing.
constexpr std::array<const char*, 7> kActionKeys = {
    nullptr,
    "ORB_IDS_SET_LOGIN",
    "ORB_IDS_SETTING",
    "ORB_IDS_REBOOT",
    "ORB_IDS_DEFAULT",
    "ORB_IDS_FIRMWARE_UPDATE",
    "ORB_IDS_FIRMWARE_UPDATE_TO_LATEST",
};

// Status code n shows the text of the n-th status key.
constexpr std::array<const char*, 24> kStatusKeys = {
    "ORB_IDS_SS_NOT_SUPPORTED",
    "ORB_IDS_SS_NONE",
    "ORB_IDS_SS_CANNOT_ACCESS",
    "ORB_IDS_SS_QUEUE_LOGIN",
    "ORB_IDS_SS_LOGIN",
    "ORB_IDS_SS_LOGIN_FAILED",
    "ORB_IDS_SS_LOGIN_SUCCESSFULLY",
    "ORB_IDS_SS_QUEUE_SETTING",
    "ORB_IDS_SS_SETTING",
    "ORB_IDS_SS_SETTING_FAILED",
    "ORB_IDS_SS_QUEUE_REBOOT",
    "ORB_IDS_SS_REBOOT",
    "ORB_IDS_SS_REBOOT_FAILED",
    "ORB_IDS_SS_QUEUE_SET_DEFAULT",
    "ORB_IDS_SS_SET_DEFAULT",
    "ORB_IDS_SS_SET_DEFAULT_FAILED",
    "ORB_IDS_SS_QUEUE_FIRMWARE_UPDATE",
    "ORB_IDS_SS_FIRMWARE_UPLOADING",
    "ORB_IDS_SS_FIRMWARE_UPDATING",
    "ORB_IDS_SS_FIRMWARE_UPDATE_FAILED",
    "ORB_IDS_SS_LATEST_VERSION",
    "ORB_IDS_SS_UNKNOWN",
    "ORB_IDS_SS_WAIT_FOR_FIRMWARE_UPDATE",
    "ORB_IDS_SS_WAIT_FOR_LOGIN",
};

// Colours of the status codes, indexed by code.
struct Rgb {
    int r, g, b;
};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGrey{96, 96, 96};
constexpr Rgb kBusy{0, 128, 255};
constexpr Rgb kGreen{0, 128, 0};
constexpr Rgb kOrange{255, 128, 0};
constexpr std::array<Rgb, 24> kStatusColors = {
    kBlack,   // 0 not supported
    kBlue,    // 1 none
    kRed,     // 2 cannot access
    kGrey,    // 3 queue login
    kBusy,    // 4 login
    kRed,     // 5 login failed
    kGreen,   // 6 logged in
    kGrey,    // 7 queue setting
    kBusy,    // 8 setting
    kRed,     // 9 setting failed
    kGrey,    // 10 queue reboot
    kBusy,    // 11 reboot
    kRed,     // 12 reboot failed
    kGrey,    // 13 queue set default
    kBusy,    // 14 set default
    kRed,     // 15 set default failed
    kGrey,    // 16 queue firmware update
    kOrange,  // 17 uploading
    kOrange,  // 18 updating
    kRed,     // 19 firmware update failed
    kBlack,   // 20 latest version
    kRed,     // 21 unknown
    kBlack,   // 22 wait for firmware update
    kBlack,   // 23 wait for login
};

constexpr QColor kActionColor(128, 0, 0);

}  // namespace

const std::array<ControllerListModel::ColumnInfo, ControllerListModel::kColumnCount>& ControllerListModel::Columns()
{
    static constexpr std::array<ColumnInfo, kColumnCount> columns = {{
        {"ORB_IDS_MODULE_NAME", 130},
        {"ORB_IDS_VERSION", 115},
        {"ORB_IDS_DEVICE_NAME", 115},
        {"ORB_IDS_MAC_ADDRESS", 115},
        {"ORB_IDS_IP", 95},
        {"ORB_IDS_SUBNET_MASK", 95},
        {"ORB_IDS_DEFAULT_GATEWAY", 95},
        {"ORB_IDS_NETWORK_ADAPTER", 80},
        {"ORB_IDS_ACTION", 110},
        {"ORB_IDS_STATUS", 110},
        {"ORB_IDS_PROGRESS", 80},
    }};
    return columns;
}

ControllerListModel::ControllerListModel(QObject* parent) : QAbstractTableModel(parent)
{
    // Each image at 16 pixels, and twice that for high-density screens.
    InitListArtwork();
    const std::array<const char*, kRowImageCount> names = {"module_box", "reader", "desk_device"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const QString base = QStringLiteral(":/tarrowind/list/") + QLatin1String(names[i]);
        m_icons[i].addFile(base + QStringLiteral("-16.png"), QSize(16, 16));
        m_icons[i].addFile(base + QStringLiteral("-32.png"), QSize(32, 32));
    }
}

ControllerListModel::~ControllerListModel() = default;

int ControllerListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ControllerListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ControllerListModel::data(const QModelIndex& index, int role) const
{
    const DeviceRecord* shown = SnapshotAt(index.row());
    if (shown == nullptr || index.column() < 0 || index.column() >= kColumnCount) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return DisplayText(*shown, index.column());
    case Qt::ToolTipRole: {
        // Names and texts come from the network: shown literally, never as markup.
        const QString text = CellText(*shown, index.column());
        if (text.isEmpty()) {
            return {};
        }
        return Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap);
    }
    case Qt::ForegroundRole:
        if (const auto color = CellColor(*shown, index.column())) {
            return *color;
        }
        return {};
    case Qt::DecorationRole:
        if (index.column() == kColumnModel) {
            return RowIcon(RowImageIndex(shown->kind));
        }
        return {};
    default:
        return {};
    }
}

QVariant ControllerListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return TextOf(Columns()[static_cast<std::size_t>(section)].headerKey);
    case Qt::TextAlignmentRole:
        // Every column is inserted left-aligned; the delegate aligns the cells as their header.
        return static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

Qt::ItemFlags ControllerListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void ControllerListModel::Append(std::vector<std::unique_ptr<DeviceRecord>> records)
{
    if (records.empty()) {
        return;
    }
    const int first = static_cast<int>(m_rows.size());
    const int last = first + static_cast<int>(records.size()) - 1;
    // Allocated before the views hear of the rows: a failure leaves the list as it was.
    std::vector<std::unique_ptr<Row>> rows;
    rows.reserve(records.size());
    for (auto& record : records) {
        auto row = std::make_unique<Row>();
        row->snapshot = ShownFields(*record);  // nobody else holds the record yet
        row->record = std::move(record);
        rows.push_back(std::move(row));
    }
    m_rows.reserve(m_rows.size() + rows.size());
    m_rowOf.reserve(m_rowOf.size() + rows.size());
    beginInsertRows(QModelIndex(), first, last);
    for (auto& row : rows) {
        m_rowOf.emplace(row->record.get(), static_cast<int>(m_rows.size()));
        m_rows.push_back(std::move(row));
    }
    endInsertRows();
}

void ControllerListModel::Clear()
{
    beginResetModel();
    m_rowOf.clear();
    m_rows.clear();
    endResetModel();
}

void ControllerListModel::SortRows(const std::function<bool(const DeviceRecord&, const DeviceRecord&)>& less)
{
    if (m_rows.size() < 2) {
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);

    // Sort row numbers, so that the persistent indexes (selection, current row) can follow their records.
    std::vector<int> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return less(m_rows[static_cast<std::size_t>(a)]->snapshot, m_rows[static_cast<std::size_t>(b)]->snapshot);
    });
    std::vector<int> newRowOf(order.size());
    std::vector<std::unique_ptr<Row>> sorted;
    sorted.reserve(m_rows.size());
    for (std::size_t position = 0; position < order.size(); ++position) {
        newRowOf[static_cast<std::size_t>(order[position])] = static_cast<int>(position);
        sorted.push_back(std::move(m_rows[static_cast<std::size_t>(order[position])]));
        m_rowOf[sorted.back()->record.get()] = static_cast<int>(position);
    }
    m_rows = std::move(sorted);

    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        after.push_back(index.isValid() && index.row() < static_cast<int>(newRowOf.size())
                            ? createIndex(newRowOf[static_cast<std::size_t>(index.row())], index.column())
                            : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool ControllerListModel::Refresh(const DeviceRecord& record)
{
    const int row = RowOfRecord(&record);
    if (row < 0) {
        return false;
    }
    m_rows[static_cast<std::size_t>(row)]->snapshot = ShownFields(record);
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
    return true;
}

DeviceRecord* ControllerListModel::RecordAt(int row) const
{
    if (row < 0 || row >= static_cast<int>(m_rows.size())) {
        return nullptr;
    }
    return m_rows[static_cast<std::size_t>(row)]->record.get();
}

const DeviceRecord* ControllerListModel::SnapshotAt(int row) const
{
    if (row < 0 || row >= static_cast<int>(m_rows.size())) {
        return nullptr;
    }
    return &m_rows[static_cast<std::size_t>(row)]->snapshot;
}

int ControllerListModel::RowOfRecord(const DeviceRecord* record) const
{
    const auto found = m_rowOf.find(record);
    return found == m_rowOf.end() ? -1 : found->second;
}

DeviceRecord ControllerListModel::ShownFields(const DeviceRecord& record)
{
    // Field by field, so that the secrets are never copied (and the payload's count is never touched).
    DeviceRecord shown;
    shown.kind = record.kind;
    shown.adapterIndex = record.adapterIndex;
    shown.mac = record.mac;
    shown.ip = record.ip;
    shown.adapterName = record.adapterName;
    shown.name = record.name;
    shown.ipText = record.ipText;
    shown.macText = record.macText;
    shown.maskText = record.maskText;
    shown.gatewayText = record.gatewayText;
    shown.version = record.version;
    shown.model = record.model;
    shown.action = record.action;
    shown.status = record.status;
    shown.progress = record.progress;
    shown.reportWindow = record.reportWindow;
    shown.ownerQueue = record.ownerQueue;
    shown.useHttps = record.useHttps;
    shown.dhcp = record.dhcp;
    return shown;
}

QString ControllerListModel::DisplayText(const DeviceRecord& record, int column)
{
    const QString text = CellText(record, column);
    if (text.isEmpty()) {
        return text;
    }
    switch (column) {
    case kColumnModel:
    case kColumnVersion:
    case kColumnMac:
    case kColumnIp:
    case kColumnMask:
    case kColumnGateway:
        // Addresses and model codes read left to right in every language: isolated, a right-to-left
        // window would otherwise reorder "02:11:22:FD:01:02" around its letters.
        return QChar(0x2066) + text + QChar(0x2069);
    case kColumnName:
    case kColumnAdapter:
        // Names take the direction of their own first strong letter.
        return QChar(0x2068) + text + QChar(0x2069);
    default:
        return text;
    }
}

QString ControllerListModel::CellText(const DeviceRecord& record, int column)
{
    switch (column) {
    case kColumnModel: return FromUtf8(record.model);
    case kColumnVersion: return FromUtf8(record.version);
    case kColumnName: return FromUtf8(record.name);
    case kColumnMac: return FromUtf8(record.macText);
    case kColumnIp: return FromUtf8(record.ipText);
    case kColumnMask: return FromUtf8(record.maskText);
    case kColumnGateway: return FromUtf8(record.gatewayText);
    case kColumnAdapter: return FromUtf8(record.adapterName);
    case kColumnAction: return ActionText(record.action);
    case kColumnStatus: return StatusText(record.status);
    default: return {};  // the progress column has no text
    }
}

QString ControllerListModel::ActionText(std::int32_t action)
{
    if (action <= kActionNone || action >= static_cast<std::int32_t>(kActionKeys.size())) {
        return {};
    }
    return TextOf(kActionKeys[static_cast<std::size_t>(action)]);
}

QString ControllerListModel::StatusText(std::int32_t status)
{
    if (status < 0 || status >= static_cast<std::int32_t>(kStatusKeys.size())) {
        return {};
    }
    return TextOf(kStatusKeys[static_cast<std::size_t>(status)]);
}

std::optional<QColor> ControllerListModel::StatusColor(std::int32_t status)
{
    if (status < 0 || status >= static_cast<std::int32_t>(kStatusColors.size())) {
        return std::nullopt;
    }
    const Rgb rgb = kStatusColors[static_cast<std::size_t>(status)];
    return QColor(rgb.r, rgb.g, rgb.b);
}

std::optional<QColor> ControllerListModel::CellColor(const DeviceRecord& record, int column)
{
    if (column == kColumnAction) {
        return kActionColor;
    }
    if (column == kColumnStatus) {
        return StatusColor(record.status);
    }
    return std::nullopt;
}

int ControllerListModel::RowImageIndex(ModuleKind kind)
{
    switch (kind) {
    case ModuleKind::WebDactyl:
    case ModuleKind::BinaryDactyl: return kImageReader;
    case ModuleKind::LongReply: return kImageDeskDevice;
    case ModuleKind::Web:
    default: return kImageModuleBox;
    }
}

QIcon ControllerListModel::RowIcon(int image) const
{
    if (image < 0 || image >= kRowImageCount) {
        image = kImageModuleBox;
    }
    return m_icons[static_cast<std::size_t>(image)];
}

QStringList ControllerListModel::ActionTexts()
{
    QStringList texts;
    for (std::int32_t action = kActionNone + 1; action < static_cast<std::int32_t>(kActionKeys.size()); ++action) {
        texts << ActionText(action);
    }
    return texts;
}

QStringList ControllerListModel::StatusTexts()
{
    QStringList texts;
    for (std::int32_t status = 0; status < static_cast<std::int32_t>(kStatusKeys.size()); ++status) {
        texts << StatusText(status);
    }
    return texts;
}

bool ControllerListModel::ShowsProgress(std::int32_t status)
{
    return status == kStatusFirmwareUpdating || status == kStatusWaitForFirmwareUpdate ||
           status == kStatusWaitForLogin;
}

}  // namespace tarrowind
