#pragma once

#include <QDialog>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "commands/address_rules.h"
#include "platform/ipv4_address.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tarrowind {

class CIpAddressEdit;

// Name and addressing of a fingerprint reader that takes its settings by one UDP request. The caller
// sets the values, runs the dialog, and on Accepted builds the request from them. Changed addressing is
// held to the address rules.
class CDactylSettingDlg final : public QDialog {
    Q_OBJECT

public:
    static constexpr int kDeviceNameLimit = 16;

    explicit CDactylSettingDlg(QWidget* parent = nullptr);
    ~CDactylSettingDlg() override;

    std::string deviceName;     // the reader's name (UTF-8)
    std::int32_t dhcp = 0;      // non-zero: the reader takes its addresses from a DHCP server
    Ipv4Address ip;
    Ipv4Address mask;
    Ipv4Address gateway;  // default gateway
    // The other listed modules' addresses (network order): changed addressing keeps the address rules
    // and takes none of them, or OK is refused with a message.
    std::vector<std::uint32_t> otherModuleAddresses;

    void setVisible(bool visible) override;

public slots:
    void accept() override;

private:
    void ApplyDhcpRule();

    Addressing m_shownFirst;  // as the reader had it

    QLineEdit* m_deviceName;
    QCheckBox* m_dhcp;
    std::array<QLabel*, 3> m_addressLabels{};
    std::array<CIpAddressEdit*, 3> m_addresses{};  // IP, subnet mask, default gateway
};

}  // namespace tarrowind
