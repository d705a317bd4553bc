#include "ui/dialogs/dactyl_setting_dlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "localisation/string_table.h"
#include "ui/dialogs/ip_address_edit.h"
#include "ui/dialogs/message_box.h"
#include "ui/dialogs/network_config_page.h"

namespace tarrowind {
namespace {

constexpr int kWidthUnits = 310;

QString QText(const char* key)
{
    return QString::fromStdString(Text(key));
}

QString QLabelText(const char* key)
{
    return QString::fromStdString(Label(key));
}

}  // namespace

CDactylSettingDlg::CDactylSettingDlg(QWidget* parent) : QDialog(parent)
{
    if (IsRightToLeft()) {
        setLayoutDirection(Qt::RightToLeft);
    }
    setWindowTitle(QText("ORB_IDD_DACTYLSETTINGDLG"));

    auto* nameGroup = new QGroupBox(QText("ORB_IDS_DEVICE_NAME"), this);
    auto* nameLayout = new QGridLayout(nameGroup);
    m_deviceName = new QLineEdit(nameGroup);
    m_deviceName->setObjectName("deviceName");
    auto* nameLabel = new QLabel(QLabelText("ORB_IDS_DEVICE_NAME"), nameGroup);
    nameLabel->setBuddy(m_deviceName);
    nameLayout->addWidget(nameLabel, 0, 0);
    nameLayout->addWidget(m_deviceName, 0, 1);

    auto* dhcpGroup = new QGroupBox(QText("ORB_IDS_DHCP_CLIENT"), this);
    auto* dhcpLayout = new QGridLayout(dhcpGroup);
    m_dhcp = new QCheckBox(QText("ORB_IDS_ENABLE_DHCP"), dhcpGroup);
    m_dhcp->setObjectName("dhcp");
    dhcpLayout->addWidget(m_dhcp, 0, 0, 1, 2);
    const std::array<const char*, 3> keys{"ORB_IDS_IP", "ORB_IDS_SUBNET_MASK", "ORB_IDS_DEFAULT_GATEWAY"};
    const std::array<const char*, 3> names{"ip", "mask", "gateway"};
    int captionWidth = nameLabel->sizeHint().width();
    for (std::size_t i = 0; i < m_addresses.size(); ++i) {
        m_addresses[i] = new CIpAddressEdit(dhcpGroup);
        m_addresses[i]->setObjectName(names[i]);
        m_addressLabels[i] = new QLabel(QLabelText(keys[i]), dhcpGroup);
        m_addressLabels[i]->setBuddy(m_addresses[i]);
        captionWidth = std::max(captionWidth, m_addressLabels[i]->sizeHint().width());
        dhcpLayout->addWidget(m_addressLabels[i], static_cast<int>(i) + 1, 0);
        dhcpLayout->addLayout(CIpAddressEdit::LeadingRow(m_addresses[i]), static_cast<int>(i) + 1, 1);
    }
    for (QGridLayout* grid : {nameLayout, dhcpLayout}) {
        grid->setColumnMinimumWidth(0, captionWidth);
        grid->setColumnStretch(1, 1);
    }

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QText("ORB_IDC_OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QText("ORB_IDC_CANCEL"), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(nameGroup);
    layout->addWidget(dhcpGroup);
    layout->addStretch(1);
    layout->addWidget(buttons);
    // Dialog units: a quarter of the average character width.
    setMinimumWidth(fontMetrics().averageCharWidth() * kWidthUnits / 4);

    connect(buttons, &QDialogButtonBox::accepted, this, &CDactylSettingDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDactylSettingDlg::reject);
    connect(m_dhcp, &QCheckBox::toggled, this, &CDactylSettingDlg::ApplyDhcpRule);
}

CDactylSettingDlg::~CDactylSettingDlg() = default;

void CDactylSettingDlg::setVisible(bool visible)
{
    // The caller sets the values after construction: they go into the controls as the dialog shows.
    if (visible && !isVisible()) {
        // A longer name the reader already has stays whole until the user edits it.
        m_deviceName->setMaxLength(32767);
        m_deviceName->setText(QString::fromStdString(deviceName));
        m_deviceName->setMaxLength(std::max<int>(kDeviceNameLimit, static_cast<int>(m_deviceName->text().size())));
        m_dhcp->setChecked(dhcp != 0);
        const std::array<Ipv4Address, 3> addresses{ip, mask, gateway};
        for (std::size_t i = 0; i < m_addresses.size(); ++i) {
            m_addresses[i]->SetAddress(addresses[i]);
        }
        m_shownFirst = Addressing{dhcp != 0, ip.NetworkOrder(), mask.NetworkOrder(), gateway.NetworkOrder()};
        ApplyDhcpRule();
    }
    QDialog::setVisible(visible);
}

void CDactylSettingDlg::ApplyDhcpRule()
{
    const bool manual = !m_dhcp->isChecked();
    for (std::size_t i = 0; i < m_addresses.size(); ++i) {
        m_addressLabels[i]->setEnabled(manual);
        m_addresses[i]->setEnabled(manual);
    }
}

void CDactylSettingDlg::accept()
{
    const Addressing shown{m_dhcp->isChecked(), m_addresses[0]->Address().NetworkOrder(),
                           m_addresses[1]->Address().NetworkOrder(), m_addresses[2]->Address().NetworkOrder()};
    int field = 0;
    const QString refusal = AddressingRefusal(m_shownFirst, shown, otherModuleAddresses, field);
    if (!refusal.isEmpty()) {
        ShowMessageText(refusal.toStdString(), message_box::kOk | message_box::kIconExclamation);
        m_addresses[static_cast<std::size_t>(field)]->setFocus();
        m_addresses[static_cast<std::size_t>(field)]->selectAll();
        return;
    }
    deviceName = m_deviceName->text().toStdString();
    dhcp = m_dhcp->isChecked() ? 1 : 0;
    ip = m_addresses[0]->Address();
    mask = m_addresses[1]->Address();
    gateway = m_addresses[2]->Address();
    QDialog::accept();
}

}  // namespace tarrowind
