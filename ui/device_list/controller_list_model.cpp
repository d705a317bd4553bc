#include "ui/device_list/controller_list_model.h"

#include <QRegularExpression>
#include <QTextDocument>

#include <algorithm>
#include <numeric>

#include "commands/module_csv.h"
#include "discovery/address_text.h"
#include "localisation/string_table.h"
#include "ui/device_list/row_reason.h"

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
constexpr std::array<const char*, kStatusCount> kStatusKeys = {
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
    "ORB_IDS_SS_FIRMWARE_NOT_TAKEN",
    "ORB_IDS_SS_CERTIFICATE_CHANGED",
    "ORB_IDS_SS_ADDRESS_UNUSABLE",
    "ORB_IDS_SS_ADDRESS_NOT_CONFIRMED",
    "ORB_IDS_SS_SETTINGS_UNREADABLE",
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
constexpr std::array<Rgb, kStatusCount> kStatusColors = {
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
    kRed,     // 24 firmware not taken
    kRed,     // 25 certificate changed
    kRed,     // 26 address unusable
    kRed,     // 27 address not confirmed
    kRed,     // 28 settings unreadable
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
        {"ORB_IDS_FIRMWARE_COLUMN", 110},
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
        if (!shown->addressConfirmed) {
            return Qt::convertFromPlainText(UnconfirmedText(*shown), Qt::WhiteSpaceNormal);
        }
        // Names and texts come from the network: shown literally, never as markup.
        const QString note = index.column() == kColumnStatus && statusNote ? statusNote(*shown) : QString();
        QString text = note.isEmpty() ? CellText(*shown, index.column()) : note;
        // The status cell says why the row stands where it does; after a firmware update the version
        // cell, and the status cell where it has nothing else to say, tell what it ran before and after.
        const QString reason = index.column() == kColumnStatus ? RowReason(*shown) : QString();
        if (!reason.isEmpty()) {
            text += QStringLiteral("\n") + reason;
        } else if (!shown->versionBefore.empty() &&
                   (index.column() == kColumnVersion || index.column() == kColumnStatus)) {
            text += QStringLiteral("\n") + QString::fromStdString(shown->versionBefore) + QStringLiteral(" \u2192 ") +
                    QString::fromStdString(shown->version);
        }
        if (text.isEmpty()) {
            return {};
        }
        return PlainToolTip(text);
    }
    case Qt::ForegroundRole:
        if (const auto color = CellColor(*shown, index.column())) {
            return *color;
        }
        return {};
    case Qt::BackgroundRole:
        if (!shown->addressConfirmed) {
            return UnconfirmedBackground();
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
    // Allocated before the views hear of the rows: a failure leaves the list as it was.
    std::vector<std::unique_ptr<Row>> rows;
    rows.reserve(records.size());
    std::size_t kept = 0;
    for (auto& record : records) {
        auto row = std::make_unique<Row>();
        row->record = std::move(record);
        TakeSnapshot(*row);  // nobody else holds the record yet
        if (Keeps(*row)) {
            row->shown = 0;
            ++kept;
        }
        rows.push_back(std::move(row));
    }
    m_all.reserve(m_all.size() + rows.size());
    m_rows.reserve(m_rows.size() + kept);
    m_rowOf.reserve(m_rowOf.size() + rows.size());
    const int first = static_cast<int>(m_rows.size());
    if (kept > 0) {
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(kept) - 1);
    }
    for (auto& row : rows) {
        m_rowOf.emplace(row->record.get(), row.get());
        if (row->shown >= 0) {
            row->shown = static_cast<int>(m_rows.size());
            m_rows.push_back(row.get());
        }
        m_all.push_back(std::move(row));
    }
    if (kept > 0) {
        endInsertRows();
    }
}

bool ControllerListModel::Keeps(Row& row)
{
    if (m_filter.IsEmpty()) {
        return true;
    }
    if (!row.foldedValid) {
        const DeviceRecord& s = row.snapshot;
        row.folded = RowFilter::Haystack(
            {s.name, s.model, s.version, s.macText, s.ipText, s.adapterName, FirmwareStandingText(s)});
        row.foldedValid = true;
    }
    const auto folded = [](const auto& table, std::int32_t code) -> std::string_view {
        return code >= 0 && code < static_cast<std::int32_t>(table.size()) ? table[static_cast<std::size_t>(code)]
                                                                          : std::string_view();
    };
    return m_filter.Matches(row.folded) ||
           (row.snapshot.action != kActionNone && m_filter.Matches(folded(m_foldedActions, row.snapshot.action))) ||
           m_filter.Matches(folded(m_foldedStatuses, row.snapshot.status));
}

bool ControllerListModel::SetFilter(const std::string& typed)
{
    RowFilter filter(typed);
    if (filter.Needle() == m_filter.Needle()) {
        return false;
    }
    beginResetModel();
    m_filter = std::move(filter);
    // The action and status words once per filter, in the language shown, rather than once per row.
    for (std::size_t i = 0; i < m_foldedActions.size(); ++i) {
        m_foldedActions[i] = FoldCase(ActionText(static_cast<std::int32_t>(i)).toStdString());
    }
    for (std::size_t i = 0; i < m_foldedStatuses.size(); ++i) {
        m_foldedStatuses[i] = FoldCase(StatusText(static_cast<std::int32_t>(i)).toStdString());
    }
    m_rows.clear();
    for (auto& row : m_all) {
        row->shown = Keeps(*row) ? 0 : -1;
        if (row->shown == 0) {
            m_rows.push_back(row.get());
        }
    }
    Number();
    endResetModel();
    return true;
}

void ControllerListModel::TakeSnapshot(Row& row)
{
    row.snapshot = ShownFields(*row.record);
    m_firmware.Apply(row.snapshot, true);
    row.foldedValid = false;
}

void ControllerListModel::SetFirmwareFolder(const std::string& folder)
{
    m_firmware = FirmwareGlance(folder);
    for (auto& row : m_all) {
        m_firmware.Apply(row->snapshot, true);
        row->foldedValid = false;
    }
    if (!m_rows.empty()) {
        emit dataChanged(index(0, kColumnFirmware), index(static_cast<int>(m_rows.size()) - 1, kColumnFirmware));
    }
}

void ControllerListModel::Number()
{
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        m_rows[i]->shown = static_cast<int>(i);
    }
}

void ControllerListModel::Clear()
{
    beginResetModel();
    m_rowOf.clear();
    m_rows.clear();
    m_all.clear();
    endResetModel();
}

void ControllerListModel::SortRows(const std::function<bool(const DeviceRecord&, const DeviceRecord&)>& less)
{
    if (m_all.size() < 2) {
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);

    // Every row is sorted, hidden ones too, so that a wider filter later shows them in order.
    std::stable_sort(m_all.begin(), m_all.end(), [&](const std::unique_ptr<Row>& a, const std::unique_ptr<Row>& b) {
        return less(a->snapshot, b->snapshot);
    });
    // The persistent indexes (selection, current row) follow their records.
    std::vector<int> newRowOf(m_rows.size());
    std::vector<Row*> sorted;
    sorted.reserve(m_rows.size());
    for (auto& row : m_all) {
        if (row->shown >= 0) {
            newRowOf[static_cast<std::size_t>(row->shown)] = static_cast<int>(sorted.size());
            sorted.push_back(row.get());
        }
    }
    m_rows = std::move(sorted);
    Number();

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
    const auto found = m_rowOf.find(&record);
    if (found == m_rowOf.end()) {
        return false;
    }
    Row& row = *found->second;
    TakeSnapshot(row);
    if (row.shown >= 0) {
        emit dataChanged(index(row.shown, 0), index(row.shown, kColumnCount - 1));
    }
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
    return found == m_rowOf.end() ? -1 : found->second->shown;
}

std::vector<std::pair<const DeviceRecord*, DeviceRecord*>> ControllerListModel::AllRows() const
{
    std::vector<std::pair<const DeviceRecord*, DeviceRecord*>> rows;
    rows.reserve(m_all.size());
    for (const auto& row : m_all) {
        rows.emplace_back(&row->snapshot, row->record.get());
    }
    return rows;
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
    shown.versionBefore = record.versionBefore;  // for the tooltip after a firmware update
    shown.failureReason = record.failureReason;
    shown.model = record.model;
    shown.action = record.action;
    shown.status = record.status;
    shown.progress = record.progress;
    shown.reportWindow = record.reportWindow;
    shown.ownerQueue = record.ownerQueue;
    shown.useHttps = record.useHttps;
    shown.dhcp = record.dhcp;
    shown.addressConfirmed = record.addressConfirmed;
    shown.replyFrom = record.replyFrom;
    return shown;
}

QString ControllerListModel::UnconfirmedText(const DeviceRecord& record)
{
    QString text = TextOf("ORB_IDS_TIP_ADDRESS_NOT_CONFIRMED");
    text.replace(QStringLiteral("{from}"), LeftToRight(FromUtf8(FormatIp(record.replyFrom))));
    text.replace(QStringLiteral("{named}"), LeftToRight(FromUtf8(record.ipText)));
    return text;
}

bool ControllerListModel::TipSaysMore(const QModelIndex& index) const
{
    const DeviceRecord* shown = index.isValid() ? SnapshotAt(index.row()) : nullptr;
    if (shown == nullptr) {
        return false;
    }
    switch (index.column()) {
    case kColumnStatus:
        return !shown->versionBefore.empty() || !RowReason(*shown).isEmpty() ||
               (statusNote && !statusNote(*shown).isEmpty());
    case kColumnVersion:
        return !shown->versionBefore.empty();
    default:
        return false;
    }
}

QString ControllerListModel::PlainToolTip(const QString& text)
{
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap);
}

QColor ControllerListModel::UnconfirmedBackground()
{
    return QColor(255, 226, 190);
}

QString ControllerListModel::DisplayText(const DeviceRecord& record, int column)
{
    const QString text = column == kColumnAdapter ? AdapterText(record) : CellText(record, column);
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
        return LeftToRight(text);
    case kColumnName:
    case kColumnAdapter:
        // Names take the direction of their own first strong letter.
        return QChar(0x2068) + text + QChar(0x2069);
    default:
        return text;
    }
}

QString ControllerListModel::AdapterText(const DeviceRecord& record)
{
    // The two names the program gives are shown in the user's language; the export and the command
    // line keep them as stored.
    if (record.routed) {
        return TextOf("ORB_IDS_ADAPTER_ROUTED");
    }
    if (record.adapterIndex == kBroadcastAdapterIndex && record.adapterName == "Broadcast") {
        return TextOf("ORB_IDS_ADAPTER_BROADCAST");
    }
    return CellText(record, kColumnAdapter);
}

QString ControllerListModel::LeftToRight(const QString& text)
{
    // Addresses and model codes read left to right in every language: isolated, a right-to-left window
    // would otherwise reorder "02:11:22:FD:01:02" around its letters.
    return text.isEmpty() ? text : QChar(0x2066) + text + QChar(0x2069);
}

QString ControllerListModel::AddressesLeftToRight(const QString& text)
{
    // An address, optionally with a prefix length or a second address after a dash.
    static const QRegularExpression kAddressOrRange(
        QStringLiteral("[0-9]+(?:\\.[0-9]+){3}(?:/[0-9]+|-[0-9]+(?:\\.[0-9]+){3})?"));
    QString out;
    qsizetype from = 0;
    for (auto it = kAddressOrRange.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += text.mid(from, match.capturedStart() - from) + LeftToRight(match.captured());
        from = match.capturedEnd();
    }
    return out + text.mid(from);
}

QString ControllerListModel::CellText(const DeviceRecord& record, int column)
{
    // The columns up to the adapter show the record's own texts, as the export writes them.
    static_assert(kColumnModel == static_cast<int>(RecordColumn::Model) &&
                  kColumnAdapter == static_cast<int>(RecordColumn::Adapter));
    if (column >= kColumnModel && column <= kColumnAdapter) {
        const std::string_view text = RecordColumnText(record, static_cast<RecordColumn>(column));
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    switch (column) {
    case kColumnAction: return ActionText(record.action);
    case kColumnStatus: return StatusText(record.status);
    case kColumnFirmware: return FromUtf8(FirmwareStandingText(record));
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
