#include "ui/main_dialog.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QCloseEvent>
#include <QHelpEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>

#include "commands/module_csv.h"
#include "commands/settings_plan.h"
#include "localisation/string_table.h"
#include "operations/known_modules.h"
#include "ui/about_box.h"
#include "ui/apply_plan_dlg.h"
#include "ui/assign_addresses_dlg.h"
#include "ui/controller_list_model.h"
#include "ui/message_box.h"
#include "ui/search_addresses_dlg.h"
#include "ui/controller_list_ctrl.h"
#include "ui/dialog_prompts.h"
#include "ui/my_rebar.h"
#include "ui/window_state.h"

namespace tarrowind {
namespace {

// Context-menu and accelerator ids, each bound to the command of its toolbar button.
enum MenuId : int {
    kMenuSetting = 32772,
    kMenuAdvancedSetting = 32773,
    kMenuReboot = 32774,
    kMenuDefault = 32775,
    kMenuFirmwareUpdate = 32776,
    kMenuSearch = 32777,
    kMenuStop = 32778,
    kMenuFirmwareUpdateToLatest = 32779,
    kMenuSelectAllAccelerator = 32780,
    kMenuSetLogin = 32781,
    kMenuCancelQueueItems = 32783,
    kMenuAbout = 16,
};

int CommandOfMenuId(int id)
{
    switch (id) {
    case kMenuSetting:
        return MainDialog::kCommandSetting;
    case kMenuAdvancedSetting:
        return MainDialog::kCommandAdvancedSetting;
    case kMenuReboot:
        return MainDialog::kCommandReboot;
    case kMenuDefault:
        return MainDialog::kCommandDefault;
    case kMenuFirmwareUpdate:
        return MainDialog::kCommandFirmwareUpdate;
    case kMenuSearch:
        return MainDialog::kCommandSearch;
    case kMenuStop:
        return MainDialog::kCommandStop;
    case kMenuFirmwareUpdateToLatest:
        return MainDialog::kCommandFirmwareUpdateToLatest;
    case kMenuSelectAllAccelerator:
        return MainDialog::kCommandSelectAll;
    case kMenuSetLogin:
        return MainDialog::kCommandSetLogin;
    case kMenuCancelQueueItems:
        return MainDialog::kCommandCancelQueueItems;
    default:
        return id;
    }
}

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// The ten toolbar pictures in image-list order.
constexpr int kToolbarBitmaps[] = {
    ToolbarImageSet::kBitmapSearch,         ToolbarImageSet::kBitmapStop,
    ToolbarImageSet::kBitmapSetLogin,       ToolbarImageSet::kBitmapSetting,
    ToolbarImageSet::kBitmapAdvancedSetting, ToolbarImageSet::kBitmapReboot,
    ToolbarImageSet::kBitmapDefault,        ToolbarImageSet::kBitmapFirmwareUpdate,
    ToolbarImageSet::kBitmapFirmwareUpdateToLatest, ToolbarImageSet::kBitmapCancelQueueItems,
};

}  // namespace

namespace {

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
    m_icon = ApplicationIcon();
    setWindowIcon(m_icon);
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
    m_commands->SetListed([this] {
        std::vector<const DeviceRecord*> listed;
        for (const auto& [snapshot, live] : m_list->Model()->AllRows()) {
            listed.push_back(snapshot);
        }
        return listed;
    });

    BuildToolbar();
    m_list = new CControllerListCtrl(m_gate, this, this);
    m_list->Model()->statusNote = [this](const DeviceRecord& shown) { return CertificateNote(shown); };
    BuildStatusBar();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_rebar);
    auto* listMargins = new QVBoxLayout;
    listMargins->setContentsMargins(3, 2, 3, 7);
    listMargins->setSpacing(3);
    listMargins->addWidget(BuildFilterRow());
    listMargins->addWidget(m_list);
    layout->addLayout(listMargins, 1);
    layout->addWidget(m_statusBar);

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
    // Keys a desktop user expects: help, the context menu from the keyboard, and quitting.
    const auto shortcut = [this](const QKeySequence& keys, void (MainDialog::*slot)()) {
        auto* s = new QShortcut(keys, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::Key_F1), &MainDialog::ShowAbout);
    shortcut(QKeySequence(Qt::Key_Menu), &MainDialog::ShowContextMenuAtCurrentRow);
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), &MainDialog::ShowContextMenuAtCurrentRow);
    shortcut(QKeySequence::Copy, &MainDialog::CopySelection);
    shortcut(QKeySequence::Save, &MainDialog::ChooseExportFile);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        m_filter->setFocus(Qt::ShortcutFocusReason);
        m_filter->selectAll();
    });
    auto* quit = new QShortcut(QKeySequence::Quit, this);
    quit->setContext(Qt::WindowShortcut);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
    if (QKeySequence(QKeySequence::Quit) != QKeySequence(Qt::CTRL | Qt::Key_Q)) {
        auto* ctrlQ = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
        connect(ctrlQ, &QShortcut::activated, this, &QWidget::close);
    }
    // The Search button follows the queue whenever the window has nothing left to handle.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            &MainDialog::RefreshSearchButton);
    qApp->installEventFilter(this);

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
    m_buttonTimer = new QTimer(this);
    connect(m_buttonTimer, &QTimer::timeout, this, &MainDialog::HoldButtonSize);
    m_buttonTimer->start(100);
}

MainDialog::~MainDialog()
{
    qApp->removeEventFilter(this);
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
    m_toolbar = new QToolBar(m_rebar);
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setIconSize(kImageSize);
    // A missing picture leaves its button with its caption only; the window stays usable.
    if (m_images.Create(kImageSize.width(), kImageSize.height(), 1, 0) == 1) {
        for (const int bitmap : kToolbarBitmaps) {
            m_images.AddBitmap(bitmap);
        }
    }
    static constexpr Slot kSlots[] = {
        {kCommandSearch, 0, "ORB_IDS_SEARCH"},
        {kCommandSetLogin, 2, "ORB_IDS_SET_LOGIN"},
        {0, 0, nullptr},
        {kCommandSetting, 3, "ORB_IDS_SETTING"},
        {kCommandAdvancedSetting, 4, "ORB_IDS_ADVANCEDSETTING"},
        {kCommandReboot, 5, "ORB_IDS_REBOOT"},
        {kCommandDefault, 6, "ORB_IDS_DEFAULT"},
        {0, 0, nullptr},
        {kCommandFirmwareUpdate, 7, "ORB_IDS_FIRMWARE_UPDATE"},
        {kCommandFirmwareUpdateToLatest, 8, "ORB_IDS_FIRMWARE_UPDATE_TO_LATEST"},
        {0, 0, nullptr},
        {kCommandCancelQueueItems, 9, "ORB_IDS_CANCEL_QUEUE_ITEMS"},
    };
    for (const Slot& slot : kSlots) {
        if (slot.id == 0) {
            m_toolbar->addSeparator();
            continue;
        }
        QAction* action = m_toolbar->addAction(m_images.Icon(slot.image), Q(Text(slot.key)));
        action->setData(slot.id);
        connect(action, &QAction::triggered, this, [this, action] { RunCommand(action->data().toInt()); });
        if (m_firstSlot == nullptr) {
            m_firstSlot = action;
        }
    }
    HoldButtonSize();
    m_rebar->AddBand(m_toolbar);
}

void MainDialog::BuildStatusBar()
{
    m_statusBar = new QStatusBar(this);
    m_statusBar->setSizeGripEnabled(true);
    m_statusPane = new QLabel(m_idleText, m_statusBar);
    m_statusPane->setMinimumWidth(100);
    m_statusBar->addWidget(m_statusPane, 1);
    for (int i = 0; i < 3; ++i) {
        auto* pane = new QLabel(m_statusBar);
        pane->setFixedWidth(150);
        pane->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        m_statusBar->addPermanentWidget(pane);
        if (i == 0) {
            m_countPane = pane;
        } else if (i == 1) {
            m_rangesPane = pane;
        } else {
            m_noticePane = pane;
        }
    }
    UpdateCountPane();
}

QWidget* MainDialog::BuildFilterRow()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_filter = new QLineEdit(row);
    m_filter->setClearButtonEnabled(true);
    m_filter->setPlaceholderText(Q(Text("ORB_IDS_FILTER")) + QStringLiteral(" (") +
                                 QKeySequence(QKeySequence::Find).toString(QKeySequence::NativeText) +
                                 QStringLiteral(")"));
    m_filter->setMinimumWidth(280);
    m_filter->setMaxLength(200);
    layout->addWidget(m_filter);
    layout->addStretch(1);
    static constexpr std::pair<int, const char*> kButtons[] = {
        {kCommandSearchAddresses, "ORB_IDS_SEARCH_ADDRESSES"},
        {kCommandAssignAddresses, "ORB_IDS_ASSIGN_ADDRESSES"},
        {kCommandApplyPlan, "ORB_IDS_APPLY_PLAN"},
        {kCommandExportList, "ORB_IDS_EXPORT_LIST"},
    };
    for (const auto& [id, key] : kButtons) {
        auto* button = new QPushButton(Q(Text(key)), row);
        button->setAutoDefault(false);
        button->setProperty("command", id);
        connect(button, &QPushButton::clicked, this, [this, id = id] { RunCommand(id); });
        layout->addWidget(button);
        m_rowButtons.push_back(button);
    }
    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_list->SetFilter(text);
        UpdateCommandUi();
    });
    return row;
}

void MainDialog::UpdateCountPane()
{
    if (m_countPane == nullptr || m_list == nullptr) {
        return;
    }
    m_countPane->setText(Q(Text("ORB_IDS_SHOWN_OF_TOTAL", m_list->RowCount(), m_list->TotalCount())));
}

QString MainDialog::CountPaneText() const
{
    return m_countPane->text();
}

void MainDialog::HoldButtonSize()
{
    if (m_toolbar->iconSize() != kImageSize) {
        m_toolbar->setIconSize(kImageSize);
    }
    // 68 x 56, wider only where a caption would otherwise be cut (long captions in some languages).
    for (QAction* action : m_toolbar->actions()) {
        QWidget* button = m_toolbar->widgetForAction(action);
        if (button == nullptr || action->isSeparator()) {
            continue;
        }
        const QSize wanted(std::max(kButtonSize.width(), button->sizeHint().width()), kButtonSize.height());
        if (button->minimumSize() != wanted || button->maximumSize() != wanted) {
            button->setFixedSize(wanted);
        }
    }
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
        if (m_list->Refresh(record)) {
            ScheduleCommandUi();
        }
    });
}

void MainDialog::OnNeighbourEntriesRefused()
{
    m_gate.Call([this] {
        m_noticePane->setText(Q(Text("ORB_IDS_NO_STATIC_ARP")));
        m_noticePane->setToolTip(Q(Text("ORB_IDS_NO_STATIC_ARP_TIP")));
    });
}

QString MainDialog::NoticePaneText() const
{
    return m_noticePane->text();
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
        SetFirstSlot(true);
        m_searching = true;
        [[fallthrough]];
    case SearchState::Countdown:
        m_statusPane->setText(Q(Text("ORB_IDS_SEARCHING_SEC", seconds)));
        break;
    case SearchState::Ended:
        m_list->FlushPendingRows();
        m_statusPane->setText(m_idleText);
        SetFirstSlot(false);
        m_searching = false;
        break;
    }
}

void MainDialog::SetFirstSlot(bool stop)
{
    m_firstSlot->setData(stop ? kCommandStop : kCommandSearch);
    m_firstSlot->setIcon(m_images.Icon(stop ? 1 : 0));
    m_firstSlot->setText(Q(Text(stop ? "ORB_IDS_STOP" : "ORB_IDS_SEARCH")));
    m_firstSlot->setEnabled(stop || m_manager.GetJobCount() == 0);
    HoldButtonSize();
}

void MainDialog::RefreshSearchButton()
{
    if (m_firstSlot != nullptr && m_firstSlot->data().toInt() == kCommandSearch) {
        m_firstSlot->setEnabled(m_manager.GetJobCount() == 0);
    }
    for (QWidget* button : m_rowButtons) {
        const int id = button->property("command").toInt();
        if (id == kCommandSearchAddresses || id == kCommandApplyPlan) {
            button->setEnabled(RowCommandEnabled(id));
        }
    }
}

void MainDialog::Search()
{
    if (m_manager.GetJobCount() > 0 || m_manager.IsSearching()) {
        return;
    }
    m_list->Clear();
    m_manager.Init(this, m_list);
    m_manager.StartSearch();
    UpdateCommandUi();
}

std::vector<const DeviceRecord*> MainDialog::SelectedForState() const
{
    return m_list->SelectedSnapshots();
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
    return ComputeCommandState(SelectedForState(), m_manager.GetJobCount() > 0);
}

void MainDialog::UpdateCommandUi()
{
    // The selection once: with thousands of rows selected, reading it is the costly part.
    const std::vector<const DeviceRecord*> selected = SelectedForState();
    const CommandState s = ComputeCommandState(selected, m_manager.GetJobCount() > 0);
    const std::pair<int, std::int32_t> enabled[] = {
        {kCommandSetLogin, s.setLogin},
        {kCommandSetting, s.setting},
        {kCommandAdvancedSetting, s.advancedSetting},
        {kCommandReboot, s.reboot},
        {kCommandDefault, s.restoreDefault},
        {kCommandFirmwareUpdate, s.firmwareUpdate},
        {kCommandFirmwareUpdateToLatest, s.firmwareUpdateToLatest},
        {kCommandCancelQueueItems, s.cancelQueueItems},
    };
    for (const auto& [id, value] : enabled) {
        if (QAction* action = ToolbarAction(id)) {
            action->setEnabled(value != 0);
        }
    }
    for (QWidget* button : m_rowButtons) {
        button->setEnabled(RowCommandEnabled(button->property("command").toInt(), &selected));
    }
}

bool MainDialog::RowCommandEnabled(int id, const std::vector<const DeviceRecord*>* selection) const
{
    switch (id) {
    case kCommandSearchAddresses:
        return !m_searching && m_manager.GetJobCount() == 0;
    case kCommandAssignAddresses:
        if (m_searching) {
            return false;
        }
        for (const DeviceRecord* shown : selection != nullptr ? *selection : SelectedForState()) {
            if (!SettingNotOfferedReason(*shown)) {
                return true;
            }
        }
        return false;
    case kCommandApplyPlan:
        return !m_searching && m_list->TotalCount() > 0;
    case kCommandExportList:
        return m_list->RowCount() > 0;
    case kCommandCopy:
        return selection != nullptr ? !selection->empty() : m_list->SelectedCount() > 0;
    case kCommandTrustNewCertificate:
        for (const DeviceRecord* shown : selection != nullptr ? *selection : SelectedForState()) {
            if (shown->status == kStatusCertificateChanged && shown->action == kActionNone &&
                m_manager.KnownModuleKeys() != nullptr) {
                return true;
            }
        }
        return false;
    default:
        return false;
    }
}

QAction* MainDialog::ToolbarAction(int id) const
{
    for (QAction* action : m_toolbar->actions()) {
        if (!action->isSeparator() && action->data().toInt() == id) {
            return action;
        }
    }
    return nullptr;
}

QString MainDialog::StatusPaneText() const
{
    return m_statusPane->text();
}

void MainDialog::RunCommand(int id)
{
    const int command = CommandOfMenuId(id);
    std::vector<DeviceRecord> copies;
    const std::vector<DeviceRecord*> selected = CommandRows(command, copies);
    switch (command) {
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
        CopySelection();
        break;
    case kCommandExportList:
        ChooseExportFile();
        break;
    case kCommandSearchAddresses:
        SearchAddresses();
        break;
    case kCommandAssignAddresses:
        AssignAddresses();
        break;
    case kCommandApplyPlan:
        ChoosePlanFile();
        break;
    case kCommandTrustNewCertificate:
        TrustNewCertificates();
        break;
    case kMenuAbout:
        ShowAbout();
        break;
    default:
        break;
    }
    UpdateCommandUi();
}

void MainDialog::DefaultAction()
{
    switch (ChooseDefaultAction(SelectedForState())) {
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
    const CommandState s = CurrentCommandState();
    auto menu = std::make_unique<QMenu>(this);
    const auto add = [&](int id, const char* key, bool enabled) {
        QAction* action = menu->addAction(Q(Text(key)));
        action->setData(id);
        action->setEnabled(enabled);
    };
    add(kCommandSelectAll, "ORB_IDC_SELECT_ALL", true);
    add(kCommandCopy, "ORB_IDS_COPY", RowCommandEnabled(kCommandCopy));
    add(kCommandExportList, "ORB_IDS_EXPORT_LIST", RowCommandEnabled(kCommandExportList));
    menu->addSeparator();
    if (m_searching) {
        add(kMenuStop, "ORB_IDC_STOP", true);
    } else {
        add(kMenuSearch, "ORB_IDC_SEARCH", s.search != 0);
    }
    add(kCommandSearchAddresses, "ORB_IDS_SEARCH_ADDRESSES", RowCommandEnabled(kCommandSearchAddresses));
    add(kMenuSetLogin, "ORB_IDS_SET_LOGIN", s.setLogin != 0);
    menu->addSeparator();
    add(kMenuSetting, "ORB_IDC_SETTING", s.setting != 0);
    add(kMenuAdvancedSetting, "ORB_IDC_ADVANCEDSETTING", s.advancedSetting != 0);
    add(kMenuReboot, "ORB_IDC_REBOOT", s.reboot != 0);
    add(kMenuDefault, "ORB_IDC_DEFAULT", s.restoreDefault != 0);
    add(kCommandAssignAddresses, "ORB_IDS_ASSIGN_ADDRESSES", RowCommandEnabled(kCommandAssignAddresses));
    add(kCommandApplyPlan, "ORB_IDS_APPLY_PLAN", RowCommandEnabled(kCommandApplyPlan));
    menu->addSeparator();
    add(kMenuFirmwareUpdate, "ORB_IDC_FIRMWARE_UPDATE", s.firmwareUpdate != 0);
    add(kMenuFirmwareUpdateToLatest, "ORB_IDC_FIRMWARE_UPDATE_TO_LATEST", s.firmwareUpdateToLatest != 0);
    menu->addSeparator();
    add(kMenuCancelQueueItems, "ORB_IDC_CANCEL_QUEUE_ITEMS", s.cancelQueueItems != 0);
    add(kCommandTrustNewCertificate, "ORB_IDS_TRUST_NEW_CERTIFICATE", RowCommandEnabled(kCommandTrustNewCertificate));
    // The desktop gives a window no system menu to carry the about entry, so it comes last here.
    menu->addSeparator();
    QAction* about = menu->addAction(Q(Text("ORB_IDS_ABOUTBOX")) + QStringLiteral("..."));
    about->setData(static_cast<int>(kMenuAbout));
    return menu;
}

void MainDialog::TrustNewCertificates()
{
    KnownModules* known = m_manager.KnownModuleKeys();
    if (known == nullptr) {
        return;
    }
    // Only what the module showed when it was refused is taken: the user saw that key in the row.
    for (DeviceRecord* r : m_list->SelectedRecords()) {
        if (r->status == kStatusCertificateChanged && r->action == kActionNone && known->TakeRefused(MacKey(r->mac))) {
            r->status = kStatusNone;
            m_list->Refresh(*r);
        }
    }
}

QString MainDialog::CertificateNote(const DeviceRecord& shown) const
{
    KnownModules* known = m_manager.KnownModuleKeys();
    if (shown.status != kStatusCertificateChanged || known == nullptr) {
        return {};
    }
    const std::string mac = MacKey(shown.mac);
    const std::optional<KnownModule> before = known->Find(mac);
    const auto now = known->Refused(mac);
    QString note = Q(Text("ORB_IDS_SS_CERTIFICATE_CHANGED"));
    if (before) {
        note += QStringLiteral("\n") + Q(Text("ORB_IDS_CERT_KNOWN_KEY")) + QStringLiteral(": ") +
                (before->https ? Q(FingerprintHex(before->key)) : Q(Text("ORB_IDS_CERT_PLAIN_HTTP"))) +
                QStringLiteral("\n") + Q(Text("ORB_IDS_CERT_FIRST_SEEN")) + QStringLiteral(": ") + Q(before->firstSeen);
    }
    if (now) {
        note += QStringLiteral("\n") + Q(Text("ORB_IDS_CERT_SHOWN_KEY")) + QStringLiteral(": ") +
                (*now ? Q(FingerprintHex(**now)) : Q(Text("ORB_IDS_CERT_PLAIN_HTTP")));
    }
    return note;
}

void MainDialog::ShowAbout()
{
    CAboutDlg about(this);
    about.setWindowIcon(m_icon);
    about.exec();
}

void MainDialog::ShowContextMenuAtCurrentRow()
{
    // Below the current row's first shown cell, else at the list's top corner.
    QPoint local(0, 0);
    const QModelIndex current = m_list->currentIndex();
    if (current.isValid()) {
        const QRect cell = m_list->visualRect(current);
        local = QPoint(cell.left() + cell.height() / 2, cell.bottom());
    }
    ShowContextMenu(m_list->viewport()->mapToGlobal(local));
}

void MainDialog::ShowContextMenu(QPoint globalPos)
{
    const std::unique_ptr<QMenu> menu = MakeContextMenu();
    if (QAction* chosen = menu->exec(globalPos)) {
        RunCommand(chosen->data().toInt());
    }
}

const char* MainDialog::ToolTipKey(int id)
{
    switch (id) {
    case kCommandSearch:
        return "ORB_IDS_SEARCH";
    case kCommandStop:
        return "ORB_IDS_STOP";
    case kCommandSetting:
        return "ORB_IDS_SETTING";
    case kCommandAdvancedSetting:
        return "ORB_IDS_ADVANCEDSETTING";
    case kCommandReboot:
        return "ORB_IDS_REBOOT";
    case kCommandDefault:
        return "ORB_IDS_DEFAULT";
    case kCommandFirmwareUpdate:
        return "ORB_IDS_FIRMWARE_UPDATE";
    case kCommandFirmwareUpdateToLatest:
        return "ORB_IDS_FIRMWARE_UPDATE_TO_LATEST";
    case kCommandSetLogin:
        return "ORB_IDS_SET_LOGIN";
    case kCommandCancelQueueItems:
        return "ORB_IDS_CANCEL_QUEUE_ITEMS";
    default:
        return nullptr;
    }
}

void MainDialog::ShowToolTip(QObject* button, QPoint globalPos)
{
    auto* toolButton = static_cast<QToolButton*>(button);
    const QAction* action = toolButton->defaultAction();
    const char* key = action != nullptr ? ToolTipKey(action->data().toInt()) : nullptr;
    if (key != nullptr) {
        QToolTip::showText(globalPos, Q(Text(key)).left(79), toolButton);
    }
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != this) {
        return QDialog::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress && watched == m_filter) {
        // The filter field keeps its own editing keys; Escape empties it and Enter goes to the list.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            m_filter->clear();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            m_list->setFocus(Qt::OtherFocusReason);
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::SelectAll)) {
            RunCommand(kMenuSelectAllAccelerator);
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            DefaultAction();
            return true;
        }
    } else if (event->type() == QEvent::ToolTip && widget->parent() == m_toolbar &&
               qobject_cast<QToolButton*>(widget) != nullptr) {
        ShowToolTip(widget, static_cast<QHelpEvent*>(event)->globalPos());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool MainDialog::HasPendingWork() const
{
    return m_manager.GetJobCount() > 0 || (m_ownPrompts != nullptr && m_ownPrompts->PendingReads() > 0);
}

bool MainDialog::MayClose()
{
    if (HasPendingWork()) {
        return false;  // actions are pending: the window stays, without a word
    }
    m_manager.Stop();
    return true;
}

void MainDialog::EndSession()
{
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
    }
    // Offered again in "Search addresses...", not probed until the user says so: this may be another site.
    m_rangesText = state.searchRanges.left(4096);
    if (IsValidProbeRate(state.probeRate)) {
        m_probeRate = state.probeRate;
    }
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
    }
    state.searchRanges = m_rangesText;
    state.probeRate = m_probeRate;
    state.Save();
}

struct MainDialog::PlanRows {
    std::vector<DeviceRecord> selected;  // copies of the selected rows' snapshots, in list order
    std::vector<DeviceRecord*> selectedLive;
    std::vector<DeviceRecord> all;  // copies of every row's snapshot
    std::vector<DeviceRecord*> allLive;

    std::vector<DeviceRecord*> SelectedCopies()
    {
        std::vector<DeviceRecord*> copies;
        for (DeviceRecord& r : selected) {
            copies.push_back(&r);
        }
        return copies;
    }
    // The live record of a copy made here; null for any other record.
    DeviceRecord* LiveOf(const DeviceRecord* copy) const
    {
        for (const auto* list : {&selected, &all}) {
            if (!list->empty() && copy >= list->data() && copy < list->data() + list->size()) {
                const auto at = static_cast<std::size_t>(copy - list->data());
                return list == &selected ? selectedLive[at] : allLive[at];
            }
        }
        return nullptr;
    }
    std::vector<std::pair<DeviceRecord*, SettingsChange>> Live(std::vector<std::pair<DeviceRecord*, SettingsChange>> changes) const
    {
        for (auto& [record, change] : changes) {
            record = LiveOf(record);
        }
        return changes;
    }
};

MainDialog::PlanRows MainDialog::RowsForPlan() const
{
    // The plans read copies of what the rows show: a record a worker holds is never read while it writes.
    PlanRows rows;
    const std::vector<const DeviceRecord*> shown = m_list->SelectedSnapshots();
    const std::vector<DeviceRecord*> live = m_list->SelectedRecords();
    rows.selected.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size() && i < live.size(); ++i) {
        rows.selected.push_back(*shown[i]);
        rows.selectedLive.push_back(live[i]);
    }
    const auto all = m_list->Model()->AllRows();
    rows.all.reserve(all.size());
    for (const auto& [snapshot, record] : all) {
        rows.all.push_back(*snapshot);
        rows.allLive.push_back(record);
    }
    return rows;
}

namespace {

std::vector<ModuleRowTexts> RowTexts(const std::vector<const DeviceRecord*>& rows)
{
    std::vector<ModuleRowTexts> texts;
    texts.reserve(rows.size());
    for (const DeviceRecord* r : rows) {
        texts.push_back(RowTextsOf(*r, ControllerListModel::ActionText(r->action).toStdString(),
                                   ControllerListModel::StatusText(r->status).toStdString()));
    }
    return texts;
}

QString FileFilter()
{
    return Q(Text("ORB_IDS_CSV_FILES")) + QStringLiteral(";;") + Q(Text("ORB_IDS_ALL_FILES"));
}

}  // namespace

void MainDialog::CopySelection()
{
    const std::vector<const DeviceRecord*> rows = m_list->SelectedSnapshots();
    if (rows.empty()) {
        return;
    }
    const std::string text = TabSeparated(RowTexts(rows));
    QGuiApplication::clipboard()->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void MainDialog::ChooseExportFile()
{
    if (m_list->RowCount() == 0) {
        return;
    }
    const QString path = QFileDialog::getSaveFileName(
        this, Q(Text("ORB_IDS_EXPORT_LIST")).remove(QStringLiteral("...")),
        QDir::home().filePath(QStringLiteral("tarrowind-modules.csv")), FileFilter());
    if (!path.isEmpty()) {
        ExportList(path);
    }
}

bool MainDialog::ExportList(const QString& path)
{
    std::vector<const DeviceRecord*> rows;
    for (int row = 0; row < m_list->RowCount(); ++row) {
        rows.push_back(m_list->SnapshotAt(row));
    }
    const std::string csv = CsvDocument(RowTexts(rows));
    // Written beside the target and renamed over it: a failure never leaves half a list behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) || !file.commit()) {
        ShowMessage("ORB_IDS_CANNOT_WRITE_FILE", message_box::kOk | message_box::kIconError);
        return false;
    }
    return true;
}

void MainDialog::ChoosePlanFile()
{
    const QString path = QFileDialog::getOpenFileName(this, Q(Text("ORB_IDS_APPLY_PLAN")).remove(QStringLiteral("...")),
                                                      QDir::homePath(), FileFilter());
    if (!path.isEmpty()) {
        ApplyPlan(path);
    }
}

bool MainDialog::ApplyPlan(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowMessage("ORB_IDS_CANNOT_READ_FILE", message_box::kOk | message_box::kIconError);
        return false;
    }
    // One byte more than a plan may hold: the reader refuses it rather than this reading without bound.
    const QByteArray bytes = file.read(static_cast<qint64>(kMaxPlanBytes) + 1);
    const SettingsPlan plan = ReadSettingsPlan(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (plan.error != PlanReadError::None) {
        ShowMessage(CApplyPlanDlg::ReadErrorKey(plan.error), message_box::kOk | message_box::kIconError);
        return false;
    }
    PlanRows rows = RowsForPlan();
    std::vector<DeviceRecord*> listed;
    for (DeviceRecord& r : rows.all) {
        listed.push_back(&r);
    }
    const PlanMatch match = MatchSettingsPlan(plan, listed, !m_manager.StaticArp().Refused());
    CApplyPlanDlg dialog(match, path, this);
    dialog.setWindowIcon(m_icon);
    if (dialog.exec() != QDialog::Accepted || match.changes.empty()) {
        return false;
    }
    m_commands->ChangeSettings(rows.Live(match.Changes()));
    UpdateCommandUi();
    return true;
}

void MainDialog::AssignAddresses()
{
    PlanRows rows = RowsForPlan();
    std::vector<const DeviceRecord*> listed;
    for (const DeviceRecord& r : rows.all) {
        listed.push_back(&r);
    }
    CAssignAddressesDlg dialog(rows.SelectedCopies(), listed, this, !m_manager.StaticArp().Refused());
    dialog.setWindowIcon(m_icon);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    m_commands->ChangeSettings(rows.Live(dialog.Plan().Changes()));
    UpdateCommandUi();
}

void MainDialog::SearchAddresses()
{
    CSearchAddressesDlg dialog(m_rangesText, m_probeRate, this);
    dialog.setWindowIcon(m_icon);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    SetSearchRanges(dialog.RangesText(), dialog.Ranges(), dialog.ProbesPerSecond());
    Search();
}

void MainDialog::SetSearchRanges(const QString& text, const AddressRanges& ranges, std::uint32_t probesPerSecond)
{
    m_rangesText = text;
    m_probeRate = probesPerSecond;
    m_manager.SetSearchRanges(ranges, probesPerSecond);
    m_rangesPane->setText(ranges.Empty() ? QString()
                                         : Q(Text("ORB_IDS_RANGES_ACTIVE", static_cast<int>(ranges.Count()))));
    m_rangesPane->setToolTip(ranges.Empty() ? QString() : Q(FormatAddressRanges(ranges)));
}

QString MainDialog::RangesPaneText() const
{
    return m_rangesPane->text();
}

}  // namespace tarrowind
