#pragma once

#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

#include "commands/address_rules.h"
#include "operations/module_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QUrl;

namespace tarrowind {

class CIpAddressEdit;

// Why a module may not take the addressing `shown`, in the window's language; empty when it may, or when
// it is as `read` (addressing left as it was is not held to the rules). `field` is set to the address
// field at fault: 0 IP, 1 mask, 2 gateway. `otherModules`: the other listed modules' addresses.
QString AddressingRefusal(const Addressing& read, const Addressing& shown, const std::vector<std::uint32_t>& otherModules,
                          int& field);

// The settings sheet's first tab: machine name, DHCP and static addressing, and the dynamic-DNS options
// of one web-server module. Reads the sheet's record when first shown and writes it back on OK; changed
// addressing must keep the address rules and must not take another module's address.
class CNetworkConfigPage final : public QWidget {
    Q_OBJECT

public:
    // Dynamic-DNS modes as the module's form codes them.
    static constexpr std::uint32_t kSendToDdns = 0;
    static constexpr std::uint32_t kSendToLocalDdns = 1;
    static constexpr std::uint32_t kDdnsDisabled = 2;
    static constexpr int kMachineNameLimit = 15;

    // Opens an address in the user's browser; replaceable so that tests never start one.
    using UrlOpener = bool (*)(const QUrl& url);
    // Sets the opener (nullptr: the desktop's default handler) and returns the previous one.
    static UrlOpener SetUrlOpener(UrlOpener opener);
    // The registration page of dynamic-DNS service `type` (0 the maker's, 1 the public service).
    static QUrl RegistrationUrl(int type);

    // `settings` outlives the page.
    explicit CNetworkConfigPage(ModuleSettings* settings, QWidget* parent = nullptr);

    bool IsInitialised() const { return m_initialised; }
    // Normalises the record's dynamic-DNS codes and fills the controls from it; runs once.
    void Initialise();
    // Writes the controls into the record (once initialised).
    void Apply();
    // The addresses the other modules of the list have (network order), for the checks below.
    void SetOtherModuleAddresses(std::vector<std::uint32_t> addresses) { m_otherModules = std::move(addresses); }
    // When the addressing differs from what was read: false, with a message, for an address another
    // module has or an addressing that breaks the address rules. Unchanged addressing passes as it is.
    bool CheckValues();

signals:
    // A check failed while another page was shown.
    void ActivationRequested();

private:
    void ApplyDhcpRule();
    void ApplyModeRule();
    void OpenRegistration();
    bool OffersLocalDdns() const;

    // The addressing the controls show now.
    Addressing ShownAddressing() const;

    ModuleSettings* m_settings;
    bool m_initialised = false;
    Addressing m_read;  // as the module had it
    std::vector<std::uint32_t> m_otherModules;

    QLineEdit* m_machineName;
    QCheckBox* m_dhcp;
    std::array<QLabel*, 4> m_addressLabels{};
    std::array<CIpAddressEdit*, 4> m_addresses{};  // IP, subnet mask, default gateway, DNS server
    QComboBox* m_mode;
    QLabel* m_serverIpLabel;
    CIpAddressEdit* m_serverIp;
    QLabel* m_deviceNameLabel;
    QLineEdit* m_deviceName;
    std::array<QWidget*, 9> m_ddnsWidgets{};  // host, user, password, type: caption and field; register button
    QLineEdit* m_hostName;
    QLineEdit* m_userName;
    QLineEdit* m_password;
    QComboBox* m_ddnsType;
};

}  // namespace tarrowind
