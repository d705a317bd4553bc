#include "ui/dialogs/assign_addresses_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "discovery/address_text.h"
#include "localisation/string_table.h"
#include "ui/device_list/controller_list_model.h"
#include "ui/dialogs/ip_address_edit.h"

namespace tarrowind {
namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string FieldText(const CIpAddressEdit& field)
{
    const Ipv4Address address = field.Address();
    return address == Ipv4Address() ? std::string() : address.ToText();
}

}  // namespace

CAssignAddressesDlg::CAssignAddressesDlg(std::vector<DeviceRecord*> selected, std::vector<const DeviceRecord*> listed,
                                         QWidget* parent, bool neighbourEntries)
    : QDialog(parent), m_selected(std::move(selected)), m_listed(std::move(listed)),
      m_neighbourEntries(neighbourEntries)
{
    if (IsRightToLeft()) {
        setLayoutDirection(Qt::RightToLeft);
    }
    setWindowTitle(Q(Text("ORB_IDS_ASSIGN_ADDRESSES_TITLE")));
    m_start = new CIpAddressEdit(this);
    m_start->setObjectName("start");
    m_mask = new CIpAddressEdit(this);
    m_mask->setObjectName("mask");
    m_gateway = new CIpAddressEdit(this);
    m_gateway->setObjectName("gateway");
    if (!m_selected.empty() && m_selected.front() != nullptr) {
        const DeviceRecord& first = *m_selected.front();
        m_mask->SetAddress(Ipv4Address::FromNetworkOrder(ParseIpText(first.maskText)));
        m_gateway->SetAddress(Ipv4Address::FromNetworkOrder(ParseIpText(first.gatewayText)));
    }

    auto* fields = new QFormLayout;
    fields->addRow(Q(Label("ORB_IDS_START_ADDRESS")), m_start);
    fields->addRow(Q(Label("ORB_IDS_SUBNET_MASK")), m_mask);
    fields->addRow(Q(Label("ORB_IDS_DEFAULT_GATEWAY")), m_gateway);
    auto* hint = new QLabel(Q(Text("ORB_IDS_GATEWAY_KEEP_HINT")), this);
    hint->setWordWrap(true);
    fields->addRow(QString(), hint);

    m_preview = new QTableWidget(0, kColumnCount, this);
    m_preview->setObjectName("preview");
    m_preview->setHorizontalHeaderLabels({Q(Text("ORB_IDS_DEVICE_NAME")), Q(Text("ORB_IDS_MAC_ADDRESS")),
                                          Q(Text("ORB_IDS_OLD_ADDRESS")), Q(Text("ORB_IDS_NEW_ADDRESS")),
                                          Q(Text("ORB_IDS_NOTE"))});
    m_preview->verticalHeader()->hide();
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->setSelectionMode(QAbstractItemView::NoSelection);
    m_preview->setWordWrap(false);
    m_preview->horizontalHeader()->setStretchLastSection(true);
    m_preview->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);

    m_summary = new QLabel(this);
    m_summary->setObjectName("summary");
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(Q(Text("ORB_IDC_OK")), QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    buttons->addButton(Q(Text("ORB_IDC_CANCEL")), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (CanAccept()) {
            accept();
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_preview, 1);
    layout->addWidget(m_summary);
    layout->addWidget(buttons);

    for (CIpAddressEdit* field : {m_start, m_mask, m_gateway}) {
        connect(field, &QLineEdit::textChanged, this, &CAssignAddressesDlg::Replan);
    }
    Replan();
    const int rowsShown = std::clamp(static_cast<int>(m_selected.size()), 4, 14);
    resize(std::max(fontMetrics().averageCharWidth() * 110, 760),
           sizeHint().height() + rowsShown * m_preview->verticalHeader()->defaultSectionSize());
    m_start->setFocus();
}

QString CAssignAddressesDlg::ErrorText(AddressPlanError error)
{
    switch (error) {
    case AddressPlanError::None:
        return {};
    case AddressPlanError::StartNotAddress:
    case AddressPlanError::StartNotHost:
        return Q(Text("ORB_IDS_PLAN_BAD_START"));
    case AddressPlanError::MaskNotMask:
    case AddressPlanError::MasksDiffer:
        return Q(Text("ORB_IDS_PLAN_BAD_MASK"));
    case AddressPlanError::PastSubnet:
        return Q(Text("ORB_IDS_PLAN_PAST_SUBNET"));
    case AddressPlanError::GatewayNotAddress:
    case AddressPlanError::GatewayNotOnSubnet:
    case AddressPlanError::GatewayAssigned:
        return Q(Text("ORB_IDS_PLAN_BAD_GATEWAY"));
    case AddressPlanError::GatewayIsModule:
        return Q(Text("ORB_IDS_GATEWAY_IS_MODULE"));
    }
    return {};
}

QString CAssignAddressesDlg::RuleText(AddressRule rule)
{
    switch (rule) {
    case AddressRule::Usable:
        return {};
    case AddressRule::MaskNotMask:
        return Q(Text("ORB_IDS_PLAN_BAD_MASK"));
    case AddressRule::MaskTooNarrow:
        return Q(Text("ORB_IDS_MASK_TOO_NARROW"));
    case AddressRule::AddressNotHost:
        return Q(Text("ORB_IDS_ADDRESS_NOT_HOST"));
    case AddressRule::GatewayOffSubnet:
        return Q(Text("ORB_IDS_GATEWAY_OFF_SUBNET"));
    case AddressRule::GatewayIsAddress:
        return Q(Text("ORB_IDS_GATEWAY_IS_ADDRESS"));
    case AddressRule::GatewayIsModule:
        return Q(Text("ORB_IDS_GATEWAY_IS_MODULE"));
    }
    return {};
}

QString CAssignAddressesDlg::NoteText(const AddressPlanRow& row)
{
    switch (row.note) {
    case AddressNote::Assigned:
        return row.sharing > 1 ? Q(Text("ORB_IDS_NOTE_SHARED_ADDRESS", row.sharing)) : QString();
    case AddressNote::Unusable:
        return RuleText(row.rule);
    case AddressNote::CannotTellApart:
        return Q(Text("ORB_IDS_NOTE_CANNOT_TELL_APART"));
    case AddressNote::InUse: {
        QString by;
        if (row.usedBy != nullptr) {
            const std::string& who = row.usedBy->name.empty() ? row.usedBy->model : row.usedBy->name;
            // The name in its own direction and the MAC left to right, as the list shows them.
            by = QChar(0x2068) + Q(who) + QChar(0x2069) + QStringLiteral(" (") +
                 ControllerListModel::LeftToRight(Q(row.usedBy->macText)) + ')';
        }
        return Q(Text("ORB_IDS_NOTE_IN_USE")) + QLatin1Char(' ') + by;
    }
    case AddressNote::NotOffered:
        break;
    }
    switch (row.skip) {
    case SkipReason::NotEligible:
        if (row.record != nullptr && (row.record->kind == ModuleKind::LongReply ||
                                      row.record->status == kStatusNotSupported)) {
            return Q(Text("ORB_IDS_NOTE_NOT_OFFERED"));  // no login would change that
        }
        return Q(Text(row.record != nullptr && row.record->action != kActionNone ? "ORB_IDS_NOTE_BUSY"
                                                                                 : "ORB_IDS_NOTE_NOT_LOGGED_IN"));
    case SkipReason::AddressInUse:
    case SkipReason::NoWorker:
        return Q(Text("ORB_IDS_NOTE_BUSY"));
    case SkipReason::NotOffered:
    case SkipReason::KindNotOffered:
    case SkipReason::AddressUnusable:
        return Q(Text("ORB_IDS_NOTE_NOT_OFFERED"));
    case SkipReason::AddressNotConfirmed:
        return Q(Text("ORB_IDS_SS_ADDRESS_NOT_CONFIRMED"));
    case SkipReason::CannotTellApart:
        return Q(Text("ORB_IDS_NOTE_CANNOT_TELL_APART"));
    }
    return {};
}

void CAssignAddressesDlg::Replan()
{
    const std::string start = FieldText(*m_start);
    m_plan = PlanAddresses(m_selected, m_listed, start, FieldText(*m_mask), FieldText(*m_gateway), m_neighbourEntries);
    const bool noStart = start.empty();
    m_preview->setRowCount(static_cast<int>(m_selected.size()));
    int assigned = 0;
    for (int i = 0; i < static_cast<int>(m_selected.size()); ++i) {
        const DeviceRecord* record = m_selected[static_cast<std::size_t>(i)];
        const AddressPlanRow* row = m_plan.error == AddressPlanError::None && i < static_cast<int>(m_plan.rows.size())
                                        ? &m_plan.rows[static_cast<std::size_t>(i)]
                                        : nullptr;
        const bool gets = row != nullptr && row->note == AddressNote::Assigned;
        assigned += gets ? 1 : 0;
        const auto ltr = &ControllerListModel::LeftToRight;
        const QString cells[kColumnCount] = {
            record == nullptr ? QString() : Q(record->name.empty() ? record->model : record->name),
            record != nullptr ? ltr(Q(record->macText)) : QString(),
            record != nullptr ? ltr(Q(record->ipText)) : QString(),
            row != nullptr && row->note != AddressNote::NotOffered ? ltr(Q(FormatIp(row->newIp))) : QString(),
            row != nullptr ? NoteText(*row) : QString(),
        };
        const bool flagged = row != nullptr && row->note != AddressNote::Assigned && row->note != AddressNote::NotOffered;
        for (int column = 0; column < kColumnCount; ++column) {
            auto* item = m_preview->item(i, column);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                m_preview->setItem(i, column, item);
            }
            item->setText(cells[column]);
            item->setToolTip(ControllerListModel::PlainToolTip(cells[column]));
            item->setForeground(flagged ? QBrush(QColor(200, 0, 0)) : QBrush());
        }
    }
    if (noStart) {
        m_summary->setText({});
    } else if (m_plan.error != AddressPlanError::None) {
        m_summary->setText(ErrorText(m_plan.error));
    } else {
        m_summary->setText(Q(Text("ORB_IDS_ASSIGN_SUMMARY", assigned, static_cast<int>(m_selected.size()))));
    }
    QPalette palette = m_summary->palette();
    const bool bad = !noStart && m_plan.error != AddressPlanError::None;
    palette.setColor(QPalette::WindowText, bad ? QColor(200, 0, 0) : this->palette().color(QPalette::WindowText));
    m_summary->setPalette(palette);
    m_ok->setEnabled(CanAccept());
    m_preview->resizeColumnsToContents();
    m_preview->horizontalHeader()->setSectionResizeMode(kNote, QHeaderView::Stretch);
}

QString CAssignAddressesDlg::SummaryText() const
{
    return m_summary->text();
}

bool CAssignAddressesDlg::CanAccept() const
{
    return m_plan.error == AddressPlanError::None && !m_plan.Changes().empty() && m_start->Address() != Ipv4Address();
}

}  // namespace tarrowind
