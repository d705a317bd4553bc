#pragma once

#include <QDialog>

#include <vector>

#include "commands/address_plan.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace tarrowind {

class CIpAddressEdit;

// "Assign addresses...": a first address, mask and gateway for the selected modules, and a preview of
// what each module gets (name, MAC, old and new address, and why a module is left out), updated as the
// user types. OK is offered while the plan gives at least one module a new address.
class CAssignAddressesDlg final : public QDialog {
    Q_OBJECT

public:
    enum PreviewColumn : int { kName = 0, kMac, kOldAddress, kNewAddress, kNote, kColumnCount };

    // `selected` in list order and `listed` (every module of the list) stay the caller's and must outlive
    // the dialog. The mask and gateway start as the first selected module's. `neighbourEntries`: whether
    // this process may make static neighbour entries, which tell modules sharing one address apart.
    CAssignAddressesDlg(std::vector<DeviceRecord*> selected, std::vector<const DeviceRecord*> listed,
                        QWidget* parent = nullptr, bool neighbourEntries = true);

    CIpAddressEdit& StartField() const { return *m_start; }
    CIpAddressEdit& MaskField() const { return *m_mask; }
    CIpAddressEdit& GatewayField() const { return *m_gateway; }
    QTableWidget& Preview() const { return *m_preview; }
    QString SummaryText() const;
    const AddressPlan& Plan() const { return m_plan; }
    bool CanAccept() const;

    // The note of a preview row, in the window's language.
    static QString NoteText(const AddressPlanRow& row);
    static QString ErrorText(AddressPlanError error);
    // What is wrong with an addressing, in the window's language (also the settings sheet's message).
    static QString RuleText(AddressRule rule);

private:
    void Replan();

    std::vector<DeviceRecord*> m_selected;
    std::vector<const DeviceRecord*> m_listed;
    bool m_neighbourEntries;
    CIpAddressEdit* m_start;
    CIpAddressEdit* m_mask;
    CIpAddressEdit* m_gateway;
    QTableWidget* m_preview;
    QLabel* m_summary;
    QPushButton* m_ok;
    AddressPlan m_plan;
};

}  // namespace tarrowind
