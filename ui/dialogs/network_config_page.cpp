#include "ui/dialogs/network_config_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>
#include <vector>

#include "discovery/device_record.h"
#include "localisation/string_table.h"
#include "ui/dialogs/assign_addresses_dlg.h"
#include "ui/dialogs/ip_address_edit.h"
#include "ui/dialogs/message_box.h"

namespace tarrowind {
namespace {

// The dynamic-DNS services offered in the type list: the maker's own, then a public one.
constexpr const char* kMakerDdnsLabel = "Quillon DDNS";
constexpr const char* kMakerDdnsRegistration = "https://ddns.quillon.com/register";
constexpr const char* kPublicDdnsLabel = "DynDNS";
constexpr const char* kPublicDdnsHome = "https://account.dyn.com/";

// Readers of these models cannot send to a local dynamic-DNS server.
bool LacksLocalDdns(const std::string& model)
{
    return model == "QT-FP-6621" || model == "QT-FP-6622";
}

CNetworkConfigPage::UrlOpener g_urlOpener = nullptr;

QString QText(const char* key)
{
    return QString::fromStdString(Text(key));
}

QString QLabelText(const char* key)
{
    return QString::fromStdString(Label(key));
}

// Mode list index of each mode code, and back.
int ModeIndex(std::uint32_t mode)
{
    switch (mode) {
    case CNetworkConfigPage::kDdnsDisabled:
        return 0;
    case CNetworkConfigPage::kSendToDdns:
        return 1;
    case CNetworkConfigPage::kSendToLocalDdns:
        return 2;
    default:
        return -1;
    }
}

constexpr std::array<std::uint32_t, 3> kModeOfIndex{CNetworkConfigPage::kDdnsDisabled, CNetworkConfigPage::kSendToDdns,
                                                    CNetworkConfigPage::kSendToLocalDdns};

// A text box that takes `limit` characters, or the longer text the module already holds, so that
// opening the page never cuts a value the user did not touch.
void SetLimitedText(QLineEdit* edit, const std::string& text, int limit)
{
    edit->setMaxLength(32767);
    edit->setText(QString::fromStdString(text));
    edit->setMaxLength(std::max<int>(limit, static_cast<int>(edit->text().size())));
}

}  // namespace

CNetworkConfigPage::UrlOpener CNetworkConfigPage::SetUrlOpener(UrlOpener opener)
{
    return std::exchange(g_urlOpener, opener);
}

QUrl CNetworkConfigPage::RegistrationUrl(int type)
{
    return QUrl(QString::fromLatin1(type == 1 ? kPublicDdnsHome : kMakerDdnsRegistration));
}

CNetworkConfigPage::CNetworkConfigPage(ModuleSettings* settings, QWidget* parent)
    : QWidget(parent), m_settings(settings)
{
    std::vector<QLabel*> captions;
    auto caption = [&](const char* key) {
        auto* label = new QLabel(QLabelText(key), this);
        captions.push_back(label);
        return label;
    };

    auto* machineGroup = new QGroupBox(QText("ORB_IDS_MACHINE_NAME"), this);
    auto* machineLayout = new QGridLayout(machineGroup);
    m_machineName = new QLineEdit(machineGroup);
    m_machineName->setObjectName("machineName");
    m_machineName->setMaxLength(kMachineNameLimit);
    // The box stops taking characters at the limit; saying so spares a guess why typing stopped.
    const QString nameLimit = QString::fromStdString(Text("ORB_IDS_AT_MOST_CHARACTERS", kMachineNameLimit));
    m_machineName->setPlaceholderText(nameLimit);
    m_machineName->setToolTip(nameLimit);
    QLabel* machineCaption = caption("ORB_IDS_MACHINE_NAME");
    machineCaption->setBuddy(m_machineName);
    machineLayout->addWidget(machineCaption, 0, 0);
    machineLayout->addWidget(m_machineName, 0, 1);
    machineLayout->setColumnStretch(1, 1);

    auto* dhcpGroup = new QGroupBox(QText("ORB_IDS_DHCP_CLIENT"), this);
    auto* dhcpLayout = new QGridLayout(dhcpGroup);
    m_dhcp = new QCheckBox(QText("ORB_IDS_ENABLE_DHCP"), dhcpGroup);
    m_dhcp->setObjectName("dhcp");
    dhcpLayout->addWidget(m_dhcp, 0, 0, 1, 2);
    const std::array<const char*, 4> addressKeys{"ORB_IDS_IP", "ORB_IDS_SUBNET_MASK", "ORB_IDS_DEFAULT_GATEWAY",
                                                 "ORB_IDS_DNS_SERVER"};
    const std::array<const char*, 4> addressNames{"ip", "mask", "gateway", "dns"};
    for (std::size_t i = 0; i < m_addresses.size(); ++i) {
        m_addressLabels[i] = caption(addressKeys[i]);
        m_addresses[i] = new CIpAddressEdit(dhcpGroup);
        m_addresses[i]->setObjectName(addressNames[i]);
        m_addressLabels[i]->setBuddy(m_addresses[i]);
        dhcpLayout->addWidget(m_addressLabels[i], static_cast<int>(i) + 1, 0);
        dhcpLayout->addLayout(CIpAddressEdit::LeadingRow(m_addresses[i]), static_cast<int>(i) + 1, 1);
    }
    dhcpLayout->setColumnStretch(1, 1);

    // The local server's fields share their rows with the service's host and user name: only one of
    // the two sets is ever shown, and the service's fields keep their room so the page never jumps.
    auto* dnsGroup = new QGroupBox(QText("ORB_IDS_DNS_SERVER"), this);
    auto* dnsLayout = new QGridLayout(dnsGroup);
    m_mode = new QComboBox(dnsGroup);
    m_mode->setObjectName("mode");
    m_mode->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    dnsLayout->addWidget(m_mode, 0, 0, 1, 2, Qt::AlignLeft);

    m_serverIpLabel = caption("ORB_IDS_SERVER_IP");
    m_serverIp = new CIpAddressEdit(dnsGroup);
    m_serverIp->setObjectName("serverIp");
    m_deviceNameLabel = caption("ORB_IDS_DEVICE_NAME");
    m_deviceName = new QLineEdit(dnsGroup);
    m_deviceName->setObjectName("deviceName");
    QLabel* hostLabel = caption("ORB_IDS_HOST_NAME");
    m_hostName = new QLineEdit(dnsGroup);
    m_hostName->setObjectName("hostName");
    QLabel* userLabel = caption("ORB_IDS_USERNAME");
    m_userName = new QLineEdit(dnsGroup);
    m_userName->setObjectName("userName");
    QLabel* passwordLabel = caption("ORB_IDS_PASSWORD");
    m_password = new QLineEdit(dnsGroup);
    m_password->setObjectName("ddnsPassword");
    m_password->setEchoMode(QLineEdit::Password);
    QLabel* typeLabel = caption("ORB_IDS_DDNS_TYPE");
    m_ddnsType = new QComboBox(dnsGroup);
    m_ddnsType->setObjectName("ddnsType");
    m_ddnsType->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* registerButton = new QPushButton(QText("ORB_IDS_GO_TO_REGISTER"), dnsGroup);
    registerButton->setObjectName("register");
    // Focused, it takes Enter; elsewhere on the sheet Enter stays OK's.
    registerButton->setAutoDefault(true);

    m_serverIpLabel->setBuddy(m_serverIp);
    m_deviceNameLabel->setBuddy(m_deviceName);
    hostLabel->setBuddy(m_hostName);
    userLabel->setBuddy(m_userName);
    passwordLabel->setBuddy(m_password);
    typeLabel->setBuddy(m_ddnsType);

    dnsLayout->addWidget(m_serverIpLabel, 1, 0);
    dnsLayout->addLayout(CIpAddressEdit::LeadingRow(m_serverIp), 1, 1);
    dnsLayout->addWidget(hostLabel, 1, 0);
    dnsLayout->addWidget(m_hostName, 1, 1);
    dnsLayout->addWidget(m_deviceNameLabel, 2, 0);
    dnsLayout->addWidget(m_deviceName, 2, 1);
    dnsLayout->addWidget(userLabel, 2, 0);
    dnsLayout->addWidget(m_userName, 2, 1);
    dnsLayout->addWidget(passwordLabel, 3, 0);
    dnsLayout->addWidget(m_password, 3, 1);
    dnsLayout->addWidget(typeLabel, 4, 0);
    dnsLayout->addWidget(m_ddnsType, 4, 1, Qt::AlignLeft);
    dnsLayout->addWidget(registerButton, 5, 1, Qt::AlignLeft);
    dnsLayout->setColumnStretch(1, 1);
    m_ddnsWidgets = {hostLabel, m_hostName, userLabel, m_userName, passwordLabel, m_password,
                     typeLabel, m_ddnsType, registerButton};
    for (QWidget* widget : m_ddnsWidgets) {
        QSizePolicy policy = widget->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        widget->setSizePolicy(policy);
    }

    // One caption column across the three groups, as wide as the longest caption.
    int captionWidth = 0;
    for (const QLabel* label : captions) {
        captionWidth = std::max(captionWidth, label->sizeHint().width());
    }
    machineLayout->setColumnMinimumWidth(0, captionWidth);
    dhcpLayout->setColumnMinimumWidth(0, captionWidth);
    dnsLayout->setColumnMinimumWidth(0, captionWidth);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(machineGroup);
    layout->addWidget(dhcpGroup);
    layout->addWidget(dnsGroup);
    layout->addStretch(1);

    connect(m_dhcp, &QCheckBox::clicked, this, &CNetworkConfigPage::ApplyDhcpRule);
    connect(m_mode, &QComboBox::currentIndexChanged, this, &CNetworkConfigPage::ApplyModeRule);
    connect(registerButton, &QPushButton::clicked, this, &CNetworkConfigPage::OpenRegistration);
    ApplyModeRule();
}

bool CNetworkConfigPage::OffersLocalDdns() const
{
    const DeviceRecord* record = m_settings->target.record;
    return record == nullptr || !LacksLocalDdns(record->model);
}

void CNetworkConfigPage::Initialise()
{
    if (m_initialised) {
        return;
    }
    m_initialised = true;
    ModuleSettings& s = *m_settings;

    const QSignalBlocker blockMode(m_mode);
    m_mode->clear();
    m_mode->addItem(QText("ORB_IDS_DISABLE"));
    m_mode->addItem(QText("ORB_IDS_SEND_TO_DDNS"));
    if (OffersLocalDdns()) {
        m_mode->addItem(QText("ORB_IDS_SEND_TO_LOCAL_DDNS"));
    }
    m_ddnsType->clear();
    m_ddnsType->addItem(QString::fromLatin1(kMakerDdnsLabel));
    m_ddnsType->addItem(QString::fromLatin1(kPublicDdnsLabel));

    // Codes the lists cannot show are corrected in the record itself.
    if (s.sendToServer > kDdnsDisabled) {
        s.sendToServer = kDdnsDisabled;
    }
    if (s.ddnsType > 1) {
        s.ddnsType = 0;
    }

    SetLimitedText(m_machineName, s.machineName, kMachineNameLimit);
    m_dhcp->setChecked(s.dhcp != 0);
    m_read = Addressing{s.dhcp != 0, s.ip, s.mask, s.gateway};
    const std::array<std::uint32_t, 4> addresses{s.ip, s.mask, s.gateway, s.dns};
    for (std::size_t i = 0; i < m_addresses.size(); ++i) {
        m_addresses[i]->SetAddress(Ipv4Address::FromNetworkOrder(addresses[i]));
    }
    m_serverIp->SetAddress(Ipv4Address::FromNetworkOrder(s.serverAddress));
    m_deviceName->setText(QString::fromStdString(s.myName));
    m_hostName->setText(QString::fromStdString(s.hostName));
    m_userName->setText(QString::fromStdString(s.ddnsUserName));
    m_password->setText(QString::fromStdString(s.ddnsPassword));

    // A local-server code on a reader without that mode selects nothing, and is kept on OK.
    const int mode = ModeIndex(s.sendToServer);
    m_mode->setCurrentIndex(mode < m_mode->count() ? mode : -1);
    m_ddnsType->setCurrentIndex(static_cast<int>(s.ddnsType));

    ApplyDhcpRule();
    ApplyModeRule();
}

void CNetworkConfigPage::ApplyDhcpRule()
{
    // With DHCP on the module takes its addresses from the server; the fields keep their values.
    const bool manual = !m_dhcp->isChecked();
    for (std::size_t i = 0; i < m_addresses.size(); ++i) {
        m_addressLabels[i]->setEnabled(manual);
        m_addresses[i]->setEnabled(manual);
    }
}

void CNetworkConfigPage::ApplyModeRule()
{
    const int mode = m_mode->currentIndex();
    for (QWidget* widget : m_ddnsWidgets) {
        widget->setVisible(mode == 1);
    }
    for (QWidget* widget : {static_cast<QWidget*>(m_serverIpLabel), static_cast<QWidget*>(m_serverIp),
                            static_cast<QWidget*>(m_deviceNameLabel), static_cast<QWidget*>(m_deviceName)}) {
        widget->setVisible(mode == 2);
    }
}

void CNetworkConfigPage::OpenRegistration()
{
    const QUrl url = RegistrationUrl(m_ddnsType->currentIndex());
    if (g_urlOpener != nullptr) {
        g_urlOpener(url);
    } else {
        QDesktopServices::openUrl(url);
    }
}

Addressing CNetworkConfigPage::ShownAddressing() const
{
    return Addressing{m_dhcp->isChecked(), m_addresses[0]->Address().NetworkOrder(),
                      m_addresses[1]->Address().NetworkOrder(), m_addresses[2]->Address().NetworkOrder()};
}

bool CNetworkConfigPage::CheckValues()
{
    if (!m_initialised) {
        return true;
    }
    int field = 0;
    const QString refusal = AddressingRefusal(m_read, ShownAddressing(), m_otherModules, field);
    if (refusal.isEmpty()) {
        return true;
    }
    emit ActivationRequested();
    ShowMessageText(refusal.toStdString(), message_box::kOk | message_box::kIconExclamation);
    m_addresses[static_cast<std::size_t>(field)]->setFocus();
    m_addresses[static_cast<std::size_t>(field)]->selectAll();
    return false;
}

QString AddressingRefusal(const Addressing& read, const Addressing& shown, const std::vector<std::uint32_t>& otherModules,
                          int& field)
{
    field = 0;
    if (shown.dhcp == read.dhcp && shown.ip == read.ip && shown.mask == read.mask && shown.gateway == read.gateway) {
        return {};
    }
    const auto otherModule = [&otherModules](std::uint32_t address) {
        return std::find(otherModules.begin(), otherModules.end(), address) != otherModules.end();
    };
    if (!shown.dhcp && shown.ip != read.ip && otherModule(shown.ip)) {
        return QString::fromStdString(Text("ORB_IDS_ADDRESS_TAKEN"));
    }
    const AddressRule rule = CheckAddressing(shown, otherModule);
    field = rule == AddressRule::MaskNotMask || rule == AddressRule::MaskTooNarrow ? 1
            : rule == AddressRule::AddressNotHost                                  ? 0
                                                                                   : 2;
    return CAssignAddressesDlg::RuleText(rule);
}

void CNetworkConfigPage::Apply()
{
    if (!m_initialised) {
        return;
    }
    ModuleSettings& s = *m_settings;
    s.machineName = m_machineName->text().toStdString();
    s.dhcp = m_dhcp->isChecked() ? 1 : 0;
    std::array<std::uint32_t*, 4> addresses{&s.ip, &s.mask, &s.gateway, &s.dns};
    for (std::size_t i = 0; i < m_addresses.size(); ++i) {
        *addresses[i] = m_addresses[i]->Address().NetworkOrder();
    }
    const int mode = m_mode->currentIndex();
    if (mode >= 0 && mode < static_cast<int>(kModeOfIndex.size())) {
        s.sendToServer = kModeOfIndex[static_cast<std::size_t>(mode)];
    }
    s.serverAddress = m_serverIp->Address().NetworkOrder();
    s.myName = m_deviceName->text().toStdString();
    if (m_ddnsType->currentIndex() >= 0) {
        s.ddnsType = static_cast<std::uint32_t>(m_ddnsType->currentIndex());
    }
    s.hostName = m_hostName->text().toStdString();
    s.ddnsUserName = m_userName->text().toStdString();
    s.ddnsPassword = m_password->text().toStdString();
}

}  // namespace tarrowind
