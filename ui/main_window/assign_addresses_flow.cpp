#include "ui/main_window/assign_addresses_flow.h"

#include <vector>

#include "commands/module_commands.h"
#include "operations/controller_manager.h"
#include "ui/dialogs/assign_addresses_dlg.h"
#include "ui/main_window/plan_rows.h"

namespace tarrowind {

AssignAddressesFlow::AssignAddressesFlow(QWidget& window, const CControllerListCtrl& list,
                                         CControllerManager& manager, ModuleCommands& commands)
    : m_window(window), m_list(list), m_manager(manager), m_commands(commands)
{
}

void AssignAddressesFlow::Run()
{
    PlanRows rows = PlanRows::Of(m_list);
    std::vector<const DeviceRecord*> listed;
    for (const DeviceRecord& r : rows.all) {
        listed.push_back(&r);
    }
    CAssignAddressesDlg dialog(rows.SelectedCopies(), listed, &m_window, !m_manager.StaticArp().Refused());
    dialog.setWindowIcon(m_window.windowIcon());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    m_commands.ChangeSettings(rows.Live(dialog.Plan().Changes()));
}

}  // namespace tarrowind
