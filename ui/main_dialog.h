#pragma once

#include <QDialog>
#include <QIcon>

#include <memory>

#include "discovery/address_ranges.h"
#include "discovery/controller_manager.h"
#include "commands/command_state.h"
#include "commands/module_commands.h"
#include "ui/toolbar_image_set.h"
#include "ui/ui_call_gate.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QStatusBar;
class QTimer;
class QToolBar;

namespace tarrowind {

class CControllerListCtrl;
class CMyReBar;
class DialogPrompts;

// The program's one window: the toolbar in its band, the device list and the status bar. It turns the
// user's input into the module commands, keeps them enabled as the selection and the queue allow, shows
// the search countdown and takes the core's events.
class MainDialog final : public QDialog, public CoreEvents {
    Q_OBJECT

public:
    // Command ids of the toolbar buttons (the context menu and keyboard reach the same commands).
    enum CommandId : int {
        kCommandSearch = 50004,
        kCommandStop = 50005,
        kCommandSetting = 50006,
        kCommandAdvancedSetting = 50007,
        kCommandReboot = 50008,
        kCommandDefault = 50009,
        kCommandFirmwareUpdate = 50010,
        kCommandFirmwareUpdateToLatest = 50011,
        kCommandSetLogin = 50012,
        kCommandCancelQueueItems = 50013,
        kCommandSelectAll = 32782,
        // Commands for sites with many modules, on the filter row and in the context menu.
        kCommandCopy = 50020,
        kCommandExportList = 50021,
        kCommandSearchAddresses = 50022,
        kCommandAssignAddresses = 50023,
        kCommandApplyPlan = 50024,
        // The selected rows' changed certificates are taken as the modules' own.
        kCommandTrustNewCertificate = 50025,
    };
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
    // The selected rows as tab-separated text on the clipboard.
    void CopySelection();
    // Reads a plan file, shows what it changes and, on OK, queues its changes; false when nothing was
    // queued.
    bool ApplyPlan(const QString& path);
    // The ranges (and pace) every following search probes besides the broadcasts; empty: broadcasts only.
    void SetSearchRanges(const QString& text, const AddressRanges& ranges, std::uint32_t probesPerSecond);
    QLineEdit& FilterField() const { return *m_filter; }
    QAction* ToolbarAction(int id) const;
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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Slot {
        int id;            // 0: separator
        int image;
        const char* key;
    };

    void BuildToolbar();
    void BuildStatusBar();
    QWidget* BuildFilterRow();
    void UpdateCountPane();
    // `selection`: the selected rows' snapshots when the caller has them.
    bool RowCommandEnabled(int id, const std::vector<const DeviceRecord*>* selection = nullptr) const;
    void SearchAddresses();
    void AssignAddresses();
    void ChooseExportFile();
    void ChoosePlanFile();
    // Copies of the selected rows' snapshots with their live records, and every row held, for the
    // commands that plan before they act.
    struct PlanRows;
    PlanRows RowsForPlan() const;
    void Search();
    void HandleSearchState(SearchState state, int seconds);
    void SetFirstSlot(bool stop);
    void HoldButtonSize();
    void RefreshSearchButton();
    void ShowContextMenu(QPoint globalPos);
    void ShowContextMenuAtCurrentRow();
    void ShowAbout();
    void TrustNewCertificates();
    // The certificate change of a row, as its status tooltip tells it; empty for other rows.
    QString CertificateNote(const DeviceRecord& shown) const;
    // The command state follows reports, at most once every few tens of milliseconds.
    void ScheduleCommandUi();
    // The rows the commands act on: a row whose last report showed an action is a worker's, so the
    // commands see a copy of that report (kept in `copies`) and leave the record alone.
    std::vector<DeviceRecord*> CommandRows(int command, std::vector<DeviceRecord>& copies) const;
    void RestoreState();
    void SaveState();
    void ShowToolTip(QObject* button, QPoint globalPos);
    bool MayClose();
    std::vector<const DeviceRecord*> SelectedForState() const;
    static const char* ToolTipKey(int id);

    CControllerManager m_manager;
    UiCallGate m_gate;
    CControllerListCtrl* m_list = nullptr;
    QString m_idleText;
    QStatusBar* m_statusBar = nullptr;
    QLabel* m_statusPane = nullptr;
    QLabel* m_countPane = nullptr;  // rows shown of rows held
    QLineEdit* m_filter = nullptr;
    QLabel* m_rangesPane = nullptr;
    QLabel* m_noticePane = nullptr;  // says once that the modules are reached without static ARP entries
    QString m_rangesText;  // as the user typed them, remembered between runs
    std::uint32_t m_probeRate = kDefaultProbeRate;
    std::vector<QWidget*> m_rowButtons;  // the filter row's command buttons, by command id in data
    CMyReBar* m_rebar = nullptr;
    QToolBar* m_toolbar = nullptr;
    ToolbarImageSet m_images;
    QIcon m_icon;
    bool m_searching = false;
    std::unique_ptr<DialogPrompts> m_ownPrompts;
    CommandPrompts* m_prompts = nullptr;
    std::unique_ptr<ModuleCommands> m_commands;
    QAction* m_firstSlot = nullptr;
    QTimer* m_buttonTimer = nullptr;
    QTimer* m_commandUiTimer = nullptr;
    bool m_rememberState = false;
};

}  // namespace tarrowind
