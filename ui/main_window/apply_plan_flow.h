#pragma once

#include <QString>

class QWidget;

namespace tarrowind {

class CControllerListCtrl;
class CControllerManager;
class ModuleCommands;

// "Apply plan...": a plan file is read, matched against every row held, shown change by change, and on
// OK its changes are queued.
class ApplyPlanFlow {
public:
    ApplyPlanFlow(QWidget& window, const CControllerListCtrl& list, CControllerManager& manager,
                  ModuleCommands& commands);

    // Asks for the plan file, then applies it.
    void ChooseFile();
    // False when nothing was queued: the file could not be read (after a message) or the user declined.
    bool Apply(const QString& path);

private:
    QWidget& m_window;
    const CControllerListCtrl& m_list;
    CControllerManager& m_manager;
    ModuleCommands& m_commands;
};

}  // namespace tarrowind
