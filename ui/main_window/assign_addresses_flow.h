#pragma once

class QWidget;

namespace tarrowind {

class CControllerListCtrl;
class CControllerManager;
class ModuleCommands;

// "Assign addresses...": the selected rows get addresses from a range, planned against every row held
// and shown before anything is queued.
class AssignAddressesFlow {
public:
    AssignAddressesFlow(QWidget& window, const CControllerListCtrl& list, CControllerManager& manager,
                        ModuleCommands& commands);

    // Shows the plan for the selected rows; on OK queues its changes.
    void Run();

private:
    QWidget& m_window;
    const CControllerListCtrl& m_list;
    CControllerManager& m_manager;
    ModuleCommands& m_commands;
};

}  // namespace tarrowind
