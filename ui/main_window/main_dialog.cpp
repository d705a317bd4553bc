#include "ui/main_window/main_dialog.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

#include "commands/address_plan.h"
#include "commands/settings_backup_run.h"
#include "localisation/string_table.h"
#include "operations/known_modules.h"
#include "ui/dialogs/about_box.h"
#include "ui/main_window/apply_plan_flow.h"
#include "ui/main_window/assign_addresses_flow.h"
#include "ui/device_list/certificate_trust.h"
#include "ui/device_list/controller_list_commands.h"
#include "ui/device_list/controller_list_ctrl.h"
#include "ui/device_list/controller_list_model.h"
#include "ui/dialogs/dialog_prompts.h"
#include "ui/dialogs/firmware_update_dlg.h"
#include "ui/main_window/list_filter_row.h"
#include "ui/main_window/my_rebar.h"
#include "ui/main_window/range_search_flow.h"
#include "ui/main_window/settings_file_flow.h"
#include "ui/main_window/window_state.h"
#include "ui/main_window/window_status_bar.h"

namespace tarrowind {
namespace {

// The caption a batch of the command is summed up under; null for a command that queues no actions.
// The caption naming a command that queues actions, and the words of its batch's summary; none for
// the other commands.
struct BatchWords {
    const char* caption = nullptr;
    const char* summary = nullptr;
};

BatchWords BatchWordsOf(int command)
{
    switch (command) {
    case WindowCommand::kCommandSetLogin:
        return {"ORB_IDS_SET_LOGIN", "ORB_IDS_BATCH_SUMMARY_LOGIN"};
    case WindowCommand::kCommandSetting:
        return {"ORB_IDS_SETTING", "ORB_IDS_BATCH_SUMMARY_SETTING"};
    case WindowCommand::kCommandChangeLogin:
        return {"ORB_IDS_CHANGE_LOGIN", "ORB_IDS_BATCH_SUMMARY_SETTING"};
    case WindowCommand::kCommandRestoreSettings:
        return {"ORB_IDS_RESTORE_SETTINGS", "ORB_IDS_BATCH_SUMMARY_SETTING"};
    case WindowCommand::kCommandAdvancedSetting:
        return {"ORB_IDS_ADVANCEDSETTING", "ORB_IDS_BATCH_SUMMARY_SETTING"};
    case WindowCommand::kCommandReboot:
        return {"ORB_IDS_REBOOT", "ORB_IDS_BATCH_SUMMARY_REBOOT"};
    case WindowCommand::kCommandDefault:
        return {"ORB_IDS_DEFAULT", "ORB_IDS_BATCH_SUMMARY_DEFAULT"};
    case WindowCommand::kCommandFirmwareUpdate:
        return {"ORB_IDS_FIRMWARE_UPDATE", "ORB_IDS_BATCH_SUMMARY_FIRMWARE"};
    case WindowCommand::kCommandFirmwareUpdateToLatest:
        return {"ORB_IDS_FIRMWARE_UPDATE_TO_LATEST", "ORB_IDS_BATCH_SUMMARY_FIRMWARE"};
    default:
        return {};
    }
}

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// The window's services, with the known modules of the user's file (shared with the command line).
ManagerServices UserServices()
{
    static KnownModules known(KnownModules::UserFilePath());
    ManagerServices services;
    services.knownModules = &known;
    return services;
}

}  // namespace

MainDialog::MainDialog() : MainDialog(UserServices(), ManagerTiming{}, nullptr, true) {}

MainDialog::MainDialog(const ManagerServices& services, ManagerTiming timing, CommandPrompts* prompts,
                       bool rememberState)
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                           Qt::WindowCloseButtonHint),
      m_manager(services, timing),
      m_rememberState(rememberState)
{
    setWindowTitle(QStringLiteral("Tarrowind"));
    if (IsRightToLeft()) {
        setLayoutDirection(Qt::RightToLeft);
    }
    setWindowIcon(ApplicationIcon());
    m_idleText = Q(Text("ORB_IDS_READY"));
    if (prompts == nullptr) {
        m_ownPrompts = std::make_unique<DialogPrompts>(this, m_manager);
        m_ownPrompts->otherModuleAddresses = [this](const DeviceRecord* record) {
            std::vector<std::uint32_t> addresses;
            for (const auto& [snapshot, live] : m_list->Model()->AllRows()) {
                if (live != record) {
                    addresses.push_back(snapshot->ip);
                }
            }
            return addresses;
        };
        prompts = m_ownPrompts.get();
    }
    m_prompts = prompts;
    m_commands = std::make_unique<ModuleCommands>(m_manager, *m_prompts);
    m_commands->SetUpdateWaves(&m_waves);
    m_commands->SetListed([this] {
        std::vector<const DeviceRecord*> listed;
        for (const auto& [snapshot, live] : m_list->Model()->AllRows()) {
            listed.push_back(snapshot);
        }
        return listed;
    });

    m_actions = new WindowActions(*this, kImageSize);
    connect(m_actions, &WindowActions::triggered, this, &MainDialog::RunCommand);
    BuildToolbar();
    m_filterRow = new ListFilterRow(m_actions->FilterRowActions(), this);
    m_list = new CControllerListCtrl(m_gate, this, this);
    m_list->Model()->statusNote = [this](const DeviceRecord& shown) {
        return CertificateNote(m_manager.KnownModuleKeys(), shown);
    };
    m_statusBar = new WindowStatusBar(m_idleText, this);
    m_rangeSearch = std::make_unique<RangeSearchFlow>(*this, m_manager, m_statusBar->Ranges());
    m_assignAddresses = std::make_unique<AssignAddressesFlow>(*this, *m_list, m_manager, *m_commands);
    m_applyPlan = std::make_unique<ApplyPlanFlow>(*this, *m_list, m_manager, *m_commands);
    m_settingsFiles = std::make_unique<SettingsFileFlow>(*this, *m_list, m_manager, *m_prompts);
    UpdateCountPane();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_rebar);
    auto* listMargins = new QVBoxLayout;
    listMargins->setContentsMargins(3, 2, 3, 7);
    listMargins->setSpacing(3);
    listMargins->addWidget(m_filterRow);
    listMargins->addWidget(m_list);
    layout->addLayout(listMargins, 1);
    layout->addWidget(m_statusBar);

    connect(m_filterRow, &ListFilterRow::filterChanged, this, [this](const QString& text) {
        m_list->SetFilter(text);
        UpdateCommandUi();
    });
    connect(m_filterRow, &ListFilterRow::enterPressed, m_list, [this] { m_list->setFocus(Qt::OtherFocusReason); });
    connect(m_list, &CControllerListCtrl::itemChanged, this, &MainDialog::UpdateCommandUi);
    connect(m_list, &CControllerListCtrl::defaultActionRequested, this, &MainDialog::DefaultAction);
    connect(m_list, &CControllerListCtrl::rightDoubleClicked, this, [this] { RunCommand(kCommandAdvancedSetting); });
    connect(m_list, &CControllerListCtrl::contextMenuRequested, this, &MainDialog::ShowContextMenu);
    connect(m_list, &CControllerListCtrl::countsChanged, this, &MainDialog::UpdateCountPane);
    // Export list and Apply plan follow the rows held, which change without a selection change.
    connect(m_list, &CControllerListCtrl::countsChanged, this, &MainDialog::UpdateCommandUi);
    m_commandUiTimer = new QTimer(this);
    m_commandUiTimer->setSingleShot(true);
    // Reports come by the thousand a second; the toolbar follows them within a frame or two.
    m_commandUiTimer->setInterval(30);
    connect(m_commandUiTimer, &QTimer::timeout, this, &MainDialog::UpdateCommandUi);
    // The context menu from the keyboard, wherever the focus is in the window.
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
        auto* menuKey = new QShortcut(keys, this);
        connect(menuKey, &QShortcut::activated, this, [this] { ShowContextMenu(KeyboardMenuPosition(*m_list)); });
    }
    auto* quit = new QAction(this);
    quit->setShortcuts(QuitKeys(QKeySequence::keyBindings(QKeySequence::Quit)));
    quit->setShortcutContext(Qt::WindowShortcut);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addAction(quit);
    // The queue empties on the workers' threads without an event of its own: the commands that wait for
    // it follow whenever the window has nothing left to handle.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            &MainDialog::RefreshIdleCommands);

    // At least 1185 x 600 and wide enough for every column, within the screen.
    int width = std::max(1185, m_list->ColumnsWidth() + 6);
    if (const QScreen* screen = this->screen()) {
        width = std::min(width, screen->availableGeometry().width());
    }
    resize(width, 600);
    RestoreState();
    UpdateCommandUi();
    m_list->setFocus(Qt::OtherFocusReason);  // the keys work on the list from the start, not the filter
    Search();
}

MainDialog::~MainDialog()
{
    // Threads blocked on the window are let go before the window waits for them.
    m_gate.Close();
    // Stopped, every action still running ends soon: the wait for them has an end.
    m_manager.StopJobs();
    m_manager.WaitForSearch();
    m_manager.WaitUntilIdle();
}

void MainDialog::BuildToolbar()
{
    m_rebar = new CMyReBar(this);
    auto* toolbar = new QToolBar(m_rebar);
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->setIconSize(kImageSize);
    for (QAction* action : m_actions->ToolbarActions()) {
        if (action == nullptr) {
            toolbar->addSeparator();
        } else {
            toolbar->addAction(action);
        }
    }
    m_rebar->AddBand(toolbar);
    m_rebar->HoldButtonSize(kButtonSize, kImageSize);
}

QLineEdit& MainDialog::FilterField() const
{
    return m_filterRow->Field();
}

void MainDialog::UpdateCountPane()
{
    m_statusBar->Count().setText(Q(Text("ORB_IDS_SHOWN_OF_TOTAL", m_list->RowCount(), m_list->TotalCount())));
}

QString MainDialog::StatusPaneText() const
{
    return m_statusBar->Status().text();
}

QString MainDialog::CountPaneText() const
{
    return m_statusBar->Count().text();
}

QString MainDialog::RangesPaneText() const
{
    return m_statusBar->Ranges().text();
}

QString MainDialog::NoticePaneText() const
{
    return m_statusBar->Notice().text();
}

void MainDialog::OnSearchState(SearchState state, int seconds)
{
    m_gate.Call([&] { HandleSearchState(state, seconds); });
}

void MainDialog::OnReport(DeviceRecord& record)
{
    // The row's snapshot is taken while the sender waits: painting, sorting and the commands' state then
    // read only what the record held during a report.
    m_gate.Call([&] {
        m_statusBar->NoteReport(record);
        if (m_list->Refresh(record)) {
            ScheduleCommandUi();
        }
    });
}

void MainDialog::OnNeighbourEntriesRefused()
{
    m_gate.Call([this] {
        m_statusBar->Notice().setText(Q(Text("ORB_IDS_NO_STATIC_ARP")));
        m_statusBar->Notice().setToolTip(Q(Text("ORB_IDS_NO_STATIC_ARP_TIP")));
    });
}

void MainDialog::ScheduleCommandUi()
{
    if (!m_commandUiTimer->isActive()) {
        m_commandUiTimer->start();
    }
}

void MainDialog::HandleSearchState(SearchState state, int seconds)
{
    switch (state) {
    case SearchState::Started:
        m_actions->ShowSearching(true);
        m_searching = true;
        [[fallthrough]];
    case SearchState::Countdown:
        m_statusBar->Status().setText(Q(Text("ORB_IDS_SEARCHING_SEC", seconds)));
        break;
    case SearchState::Ended:
        m_list->FitNameColumns();
        m_list->FlushPendingRows();
        m_statusBar->Status().setText(m_idleText);
        m_actions->ShowSearching(false);
        m_searching = false;
        RefreshIdleCommands();
        break;
    }
}

void MainDialog::Search()
{
    if (m_manager.GetJobCount() > 0 || m_manager.IsSearching()) {
        return;
    }
    m_list->Clear();
    // Read anew at each search: the management software may have brought new firmware meanwhile.
    m_list->Model()->SetFirmwareFolder(m_manager.FirmwareFolder());
    m_list->setColumnHidden(ControllerListModel::kColumnFirmware, m_manager.FirmwareFolder().empty());
    m_statusBar->ForgetSummary();
    m_manager.Init(this, m_list);
    m_manager.StartSearch();
    UpdateCommandUi();
}

std::vector<DeviceRecord*> MainDialog::CommandRows(int command, std::vector<DeviceRecord>& copies) const
{
    std::vector<DeviceRecord*> records = m_list->SelectedRecords();
    if (command == kCommandCancelQueueItems) {
        return records;  // the queue decides under its lock which records are still parked
    }
    const std::vector<const DeviceRecord*> shown = m_list->SelectedSnapshots();
    copies.reserve(records.size());
    for (std::size_t i = 0; i < records.size() && i < shown.size(); ++i) {
        if (shown[i]->action != kActionNone) {
            copies.push_back(*shown[i]);
            records[i] = &copies.back();
        }
    }
    return records;
}

CommandState MainDialog::CurrentCommandState() const
{
    return ComputeCommandState(m_list->SelectedSnapshots(), m_manager.GetJobCount() > 0);
}

void MainDialog::UpdateCommandUi()
{
    // The selection once: with thousands of rows selected, reading it is the costly part.
    const std::vector<const DeviceRecord*> selected = m_list->SelectedSnapshots();
    CommandReasons why;
    const CommandState s = ComputeCommandState(selected, m_manager.GetJobCount() > 0, &why);
    const bool assignable = !m_searching && std::any_of(selected.begin(), selected.end(), [](const DeviceRecord* r) {
        return !SettingNotOfferedReason(*r);
    });
    const std::tuple<int, bool, CommandBlock> explained[] = {
        {kCommandSetLogin, s.setLogin != 0, why.setLogin},
        {kCommandSetting, s.setting != 0, why.setting},
        {kCommandAdvancedSetting, s.advancedSetting != 0, why.advancedSetting},
        {kCommandReboot, s.reboot != 0, why.reboot},
        {kCommandDefault, s.restoreDefault != 0, why.restoreDefault},
        {kCommandFirmwareUpdate, s.firmwareUpdate != 0, why.firmwareUpdate},
        {kCommandFirmwareUpdateToLatest, s.firmwareUpdateToLatest != 0, why.firmwareUpdateToLatest},
        {kCommandCancelQueueItems, s.cancelQueueItems != 0, why.cancelQueueItems},
        {kCommandChangeLogin, s.changeLogin != 0, why.changeLogin},
    };
    for (const auto& [id, value, reason] : explained) {
        m_actions->SetEnabled(id, value, CommandBlockKey(reason));
    }
    for (const auto& [id, many] : {std::pair{kCommandSaveSettings, true}, std::pair{kCommandRestoreSettings, false}}) {
        const char* why = SettingsFileBlockKey(selected, many);
        m_actions->SetEnabled(id, why == nullptr, why);
    }
    const std::pair<int, bool> enabled[] = {
        {kCommandCopy, !selected.empty()},
        {kCommandExportList, m_list->RowCount() > 0},
        {kCommandAssignAddresses, assignable},
        {kCommandTrustNewCertificate, MayTrustNewCertificate(m_manager.KnownModuleKeys(), selected)},
    };
    for (const auto& [id, value] : enabled) {
        m_actions->SetEnabled(id, value);
    }
    RefreshIdleCommands();
}

void MainDialog::RefreshIdleCommands()
{
    const bool idle = m_manager.GetJobCount() == 0;
    m_actions->SetEnabled(kCommandSearch, idle, idle ? nullptr : CommandBlockKey(CommandBlock::Busy));
    if (!m_searching) {
        m_statusBar->ShowWork(m_manager.GetJobCount(), m_manager.GetRunningCount(), PendingCount(), m_idleText);
    }
    m_actions->SetEnabled(kCommandSearchAddresses, !m_searching && idle);
    m_actions->SetEnabled(kCommandApplyPlan, !m_searching && m_list->TotalCount() > 0);
}

void MainDialog::RunCommand(int id)
{
    std::vector<DeviceRecord> copies;
    const std::vector<DeviceRecord*> selected = CommandRows(id, copies);
    const int jobsBefore = m_manager.GetJobCount();
    const BatchWords batch = BatchWordsOf(id);
    // The live rows, for the status bar to follow their reports; read only for commands that queue.
    const std::vector<DeviceRecord*> live =
        batch.caption != nullptr ? m_list->SelectedRecords() : std::vector<DeviceRecord*>{};
    switch (id) {
    case kCommandSearch:
        Search();
        break;
    case kCommandStop:
        m_manager.Stop();
        break;
    case kCommandSetLogin:
        m_commands->SetLogin(selected);
        break;
    case kCommandSetting:
        m_commands->Setting(selected);
        break;
    case kCommandChangeLogin:
        m_commands->ChangeLogin(selected);
        break;
    case kCommandAdvancedSetting:
        m_commands->AdvancedSetting(selected);
        break;
    case kCommandReboot:
        m_commands->RebootOrDefault(selected, ModuleCommands::RestartKind::Reboot);
        break;
    case kCommandDefault:
        m_commands->RebootOrDefault(selected, ModuleCommands::RestartKind::Default);
        break;
    case kCommandFirmwareUpdate:
        m_commands->FirmwareUpdate(selected);
        break;
    case kCommandFirmwareUpdateToLatest:
        m_commands->FirmwareUpdateToLatest(selected);
        break;
    case kCommandCancelQueueItems:
        m_commands->CancelQueueItems(selected);
        break;
    case kCommandSelectAll:
        m_list->SelectAll();
        break;
    case kCommandCopy:
        CopySelectedRows(*m_list);
        break;
    case kCommandExportList:
        ChooseExportFile(*m_list, this);
        break;
    case kCommandSearchAddresses:
        if (m_rangeSearch->Ask()) {
            Search();
        }
        break;
    case kCommandAssignAddresses:
        m_assignAddresses->Run();
        break;
    case kCommandApplyPlan:
        m_applyPlan->ChooseFile();
        break;
    case kCommandSaveSettings:
        m_settingsFiles->Save(selected);
        break;
    case kCommandRestoreSettings:
        m_settingsFiles->Restore(selected);
        break;
    case kCommandTrustNewCertificate:
        TrustNewCertificates(m_manager.KnownModuleKeys(), *m_list);
        break;
    case kCommandAbout:
        ShowAbout();
        break;
    default:
        break;
    }
    const int queued = m_manager.GetJobCount() - jobsBefore;
    if (batch.caption != nullptr && queued > 0) {
        // A menu caption's dots ask for more; the summary names the command alone.
        QString caption = Q(Text(batch.caption));
        caption.remove(QStringLiteral("...")).remove(QChar(0x2026));
        m_statusBar->StartBatch(caption.trimmed(), batch.summary, {live.begin(), live.end()}, queued);
    }
    UpdateCommandUi();
}

void MainDialog::DefaultAction()
{
    switch (ChooseDefaultAction(m_list->SelectedSnapshots())) {
    case tarrowind::DefaultAction::CancelQueueItems:
        RunCommand(kCommandCancelQueueItems);
        break;
    case tarrowind::DefaultAction::SetLogin:
        RunCommand(kCommandSetLogin);
        break;
    case tarrowind::DefaultAction::Setting:
        RunCommand(kCommandSetting);
        break;
    case tarrowind::DefaultAction::Nothing:
        break;
    }
}

std::unique_ptr<QMenu> MainDialog::MakeContextMenu()
{
    UpdateCommandUi();
    return m_actions->ContextMenu(this);
}

void MainDialog::ShowContextMenu(QPoint globalPos)
{
    // The chosen action triggers its command.
    MakeContextMenu()->exec(globalPos);
}

void MainDialog::ShowAbout()
{
    CAboutDlg about(this);
    about.setWindowIcon(windowIcon());
    about.exec();
}

bool MainDialog::ExportList(const QString& path)
{
    return ExportShownRows(*m_list, path);
}

bool MainDialog::ApplyPlan(const QString& path)
{
    const bool queued = m_applyPlan->Apply(path);
    if (queued) {
        UpdateCommandUi();
    }
    return queued;
}

void MainDialog::SetSearchRanges(const QString& text, const AddressRanges& ranges, std::uint32_t probesPerSecond)
{
    m_rangeSearch->Set(text, ranges, probesPerSecond);
}

void MainDialog::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        DefaultAction();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool MainDialog::HasPendingWork() const
{
    return PendingCount() > 0;
}

int MainDialog::PendingCount() const
{
    return m_manager.GetJobCount() + static_cast<int>(m_waves.WaitingCount()) +
           (m_ownPrompts != nullptr ? m_ownPrompts->PendingReads() : 0);
}

bool MainDialog::MayClose()
{
    if (HasPendingWork()) {
        // The window stays, and says why in the status bar: a message box would stop the work's reports.
        m_statusBar->RefuseClose(PendingCount());
        return false;
    }
    m_manager.Stop();
    return true;
}

void MainDialog::EndSession()
{
    for (DeviceRecord* waiting : m_waves.StopAll()) {
        ModuleCommands::PutBack(*waiting);
    }
    for (DeviceRecord* parked : m_manager.StopJobs()) {
        ModuleCommands::PutBack(*parked);
    }
    SaveState();
    QDialog::done(QDialog::Rejected);
}

void MainDialog::reject() {}

void MainDialog::accept() {}

void MainDialog::closeEvent(QCloseEvent* event)
{
    if (!MayClose()) {
        event->ignore();
        return;
    }
    SaveState();
    event->accept();
    QDialog::done(QDialog::Rejected);  // ends the modal run; our reject() would not
}

void MainDialog::RestoreState()
{
    if (!m_rememberState) {
        return;
    }
    const WindowState state = WindowState::Load();
    if (!state.geometry.isEmpty()) {
        restoreGeometry(state.geometry);
    }
    if (!state.columns.isEmpty()) {
        m_list->horizontalHeader()->restoreState(state.columns);  // the user's widths and order
    }
    if (m_ownPrompts != nullptr) {
        m_ownPrompts->lastLoginId = state.lastLoginId.toStdString();
        CFirmwareUpdateDlg::SetLastFolder(state.firmwareFolder);
    }
    m_rangeSearch->Remember(state.searchRanges, state.probeRate);
}

void MainDialog::SaveState()
{
    if (!m_rememberState) {
        return;
    }
    WindowState state;
    state.geometry = saveGeometry();
    state.columns = m_list->horizontalHeader()->saveState();
    if (m_ownPrompts != nullptr) {
        state.lastLoginId = QString::fromStdString(m_ownPrompts->lastLoginId);
        state.firmwareFolder = CFirmwareUpdateDlg::LastFolder();
    }
    state.searchRanges = m_rangeSearch->RangesText();
    state.probeRate = m_rangeSearch->ProbeRate();
    state.Save();
}

}  // namespace tarrowind
