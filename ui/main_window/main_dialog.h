#pragma once

#include <QDialog>

#include <memory>

#include "discovery/address_ranges.h"
#include "operations/controller_manager.h"
#include "commands/command_state.h"
#include "commands/module_commands.h"
#include "ui/main_window/ui_call_gate.h"
#include "ui/main_window/window_actions.h"

class QAction;
class QLineEdit;
class QMenu;
class QTimer;

namespace tarrowind {

class ApplyPlanFlow;
class AssignAddressesFlow;
class CControllerListCtrl;
class CMyReBar;
class DialogPrompts;
class ListFilterRow;
class RangeSearchFlow;
class WindowStatusBar;

// The program's one window: the toolbar in its band, the filter row, the device list and the status bar.
// It carries out the commands its actions trigger, keeps them enabled as the selection and the queue
// allow, shows the search countdown and takes the core's events.
class MainDialog final : public QDialog, public CoreEvents {
    Q_OBJECT

public:
    using enum WindowCommand;
    static constexpr QSize kButtonSize{68, 56};
    static constexpr QSize kImageSize{32, 32};

    // The program's own window on the system's services. Tests give fakes, and prompts that answer for
    // the user (null: the real dialogs).
    // `rememberState`: the window's size, place, column widths and last login ID are read from and kept
    // in the user's configuration.
    MainDialog();
    MainDialog(const ManagerServices& services, ManagerTiming timing, CommandPrompts* prompts,
               bool rememberState = false);
    ~MainDialog() override;

    // Core events, from the search thread and the workers; each waits until the window has handled it.
    void OnSearchState(SearchState state, int seconds) override;
    void OnReport(DeviceRecord& record) override;
    void OnNeighbourEntriesRefused() override;

    // Carries out a command whether or not its action is enabled now.
    void RunCommand(int id);
    void UpdateCommandUi();
    void DefaultAction();
    CommandState CurrentCommandState() const;

    bool IsSearching() const { return m_searching; }
    // Actions queued or running, or a settings read still under way: the window refuses to close.
    bool HasPendingWork() const;
    // The session or the process ends: the queue stops, parked actions are put back, running ones end
    // at once, and the window closes whatever is pending; the manager's end then removes the neighbour
    // entries.
    void EndSession();
    QString StatusPaneText() const;
    QString CountPaneText() const;
    QString RangesPaneText() const;
    QString NoticePaneText() const;
    // The rows shown, as the list shows them, into a CSV file; false (after a message) when it cannot be
    // written.
    bool ExportList(const QString& path);
    // Reads a plan file, shows what it changes and, on OK, queues its changes; false when nothing was
    // queued.
    bool ApplyPlan(const QString& path);
    // The ranges (and pace) every following search probes besides the broadcasts; empty: broadcasts only.
    void SetSearchRanges(const QString& text, const AddressRanges& ranges, std::uint32_t probesPerSecond);
    QLineEdit& FilterField() const;
    // The command's action, shared by the toolbar, the filter row, the context menu and the keys.
    QAction* Action(int id) const { return m_actions->Action(id); }
    CControllerListCtrl& List() const { return *m_list; }
    CControllerManager& Manager() { return m_manager; }
    // Builds the context menu as it would be shown now.
    std::unique_ptr<QMenu> MakeContextMenu();

public slots:
    // Escape and the dialog's OK do nothing: a stray key never throws the list away. The window closes by
    // its close button, Ctrl+Q or the window manager.
    void reject() override;
    void accept() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    // Enter that no widget took (the list passes it on) is the selection's default action.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildToolbar();
    void Search();
    void HandleSearchState(SearchState state, int seconds);
    void RefreshIdleCommands();
    void UpdateCountPane();
    void ShowContextMenu(QPoint globalPos);
    void ShowAbout();
    // The command state follows reports, at most once every few tens of milliseconds.
    void ScheduleCommandUi();
    // The rows the commands act on: a row whose last report showed an action is a worker's, so the
    // commands see a copy of that report (kept in `copies`) and leave the record alone.
    std::vector<DeviceRecord*> CommandRows(int command, std::vector<DeviceRecord>& copies) const;
    void RestoreState();
    void SaveState();
    bool MayClose();
    int PendingCount() const;

    UpdateWaves m_waves;  // before the manager: it outlives the workers that report through it
    CControllerManager m_manager;
    UiCallGate m_gate;
    QString m_idleText;
    std::unique_ptr<DialogPrompts> m_ownPrompts;
    CommandPrompts* m_prompts = nullptr;
    std::unique_ptr<ModuleCommands> m_commands;
    WindowActions* m_actions = nullptr;
    CMyReBar* m_rebar = nullptr;
    ListFilterRow* m_filterRow = nullptr;
    CControllerListCtrl* m_list = nullptr;
    WindowStatusBar* m_statusBar = nullptr;
    std::unique_ptr<RangeSearchFlow> m_rangeSearch;
    std::unique_ptr<AssignAddressesFlow> m_assignAddresses;
    std::unique_ptr<ApplyPlanFlow> m_applyPlan;
    bool m_searching = false;
    QTimer* m_commandUiTimer = nullptr;
    bool m_rememberState = false;
};

}  // namespace tarrowind
