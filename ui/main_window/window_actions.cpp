#include "ui/main_window/window_actions.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "localisation/string_table.h"

namespace tarrowind {
namespace {

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

struct Command {
    int id;
    const char* textKey;     // in the context menu and on the filter row
    const char* captionKey;  // on the toolbar, also its tooltip; null: not on the toolbar
    int image;               // in the toolbar's image list; -1: none
};

constexpr Command kCommands[] = {
    {kCommandSearch, "ORB_IDC_SEARCH", "ORB_IDS_SEARCH", 0},
    {kCommandStop, "ORB_IDC_STOP", "ORB_IDS_STOP", 1},
    {kCommandSetLogin, "ORB_IDS_SET_LOGIN", "ORB_IDS_SET_LOGIN", 2},
    {kCommandSetting, "ORB_IDC_SETTING", "ORB_IDS_SETTING", 3},
    {kCommandAdvancedSetting, "ORB_IDC_ADVANCEDSETTING", "ORB_IDS_ADVANCEDSETTING", 4},
    {kCommandReboot, "ORB_IDC_REBOOT", "ORB_IDS_REBOOT", 5},
    {kCommandDefault, "ORB_IDC_DEFAULT", "ORB_IDS_DEFAULT", 6},
    {kCommandFirmwareUpdate, "ORB_IDC_FIRMWARE_UPDATE", "ORB_IDS_FIRMWARE_UPDATE", 7},
    {kCommandFirmwareUpdateToLatest, "ORB_IDC_FIRMWARE_UPDATE_TO_LATEST", "ORB_IDS_FIRMWARE_UPDATE_TO_LATEST", 8},
    {kCommandCancelQueueItems, "ORB_IDC_CANCEL_QUEUE_ITEMS", "ORB_IDS_CANCEL_QUEUE_ITEMS", 9},
    {kCommandSelectAll, "ORB_IDC_SELECT_ALL", nullptr, -1},
    {kCommandCopy, "ORB_IDS_COPY", nullptr, -1},
    {kCommandExportList, "ORB_IDS_EXPORT_LIST", nullptr, -1},
    {kCommandSearchAddresses, "ORB_IDS_SEARCH_ADDRESSES", nullptr, -1},
    {kCommandAssignAddresses, "ORB_IDS_ASSIGN_ADDRESSES", nullptr, -1},
    {kCommandApplyPlan, "ORB_IDS_APPLY_PLAN", nullptr, -1},
    {kCommandTrustNewCertificate, "ORB_IDS_TRUST_NEW_CERTIFICATE", nullptr, -1},
    {kCommandChangeLogin, "ORB_IDS_CHANGE_LOGIN", nullptr, -1},
    {kCommandAbout, "ORB_IDS_ABOUTBOX", nullptr, -1},
    {kCommandSaveSettings, "ORB_IDS_SAVE_SETTINGS", nullptr, -1},
    {kCommandRestoreSettings, "ORB_IDS_RESTORE_SETTINGS", nullptr, -1},
};

// 0: a separator.
constexpr int kToolbar[] = {
    kCommandSearch, kCommandStop, kCommandSetLogin, 0, kCommandSetting, kCommandAdvancedSetting, kCommandReboot,
    kCommandDefault, 0, kCommandFirmwareUpdate, kCommandFirmwareUpdateToLatest, 0, kCommandCancelQueueItems,
};

constexpr int kFilterRow[] = {kCommandSearchAddresses, kCommandAssignAddresses, kCommandApplyPlan, kCommandExportList};

constexpr int kContextMenu[] = {
    kCommandSelectAll, kCommandCopy, kCommandExportList, 0,
    kCommandSearch, kCommandStop, kCommandSearchAddresses, kCommandSetLogin, kCommandChangeLogin, 0,
    kCommandSetting, kCommandAdvancedSetting, kCommandReboot, kCommandDefault, kCommandAssignAddresses,
    kCommandApplyPlan, kCommandSaveSettings, kCommandRestoreSettings, 0,
    kCommandFirmwareUpdate, kCommandFirmwareUpdateToLatest, 0,
    kCommandCancelQueueItems, kCommandTrustNewCertificate,
    // The desktop gives a window no system menu to carry the about entry, so it comes last here.
    0, kCommandAbout,
};

}  // namespace

WindowActions::WindowActions(QWidget& window, QSize imageSize) : QObject(&window)
{
    // A missing picture leaves its button with its caption only; the window stays usable.
    if (m_images.Create(imageSize.width(), imageSize.height(), 1, 0) == 1) {
        for (const int bitmap : kToolbarBitmaps) {
            m_images.AddBitmap(bitmap);
        }
    }
    for (const Command& command : kCommands) {
        auto* action = new QAction(Q(Text(command.textKey)), this);
        action->setData(command.id);
        if (command.captionKey != nullptr) {
            action->setIconText(Q(Text(command.captionKey)));
            action->setToolTip(Q(Text(command.captionKey)).left(79));
            m_toolTips.emplace(command.id, action->toolTip());
        }
        if (command.image >= 0) {
            action->setIcon(m_images.Icon(command.image));
        }
        // The context menu shows neither the toolbar's pictures nor the keys.
        action->setIconVisibleInMenu(false);
        action->setShortcutVisibleInContextMenu(false);
        connect(action, &QAction::triggered, this, [this, id = command.id] { emit triggered(id); });
        m_actions.emplace(command.id, action);
    }
    // Menu entries with a tooltip of their own, so that a greyed one can say why.
    for (const int id : {kCommandSaveSettings, kCommandRestoreSettings}) {
        m_toolTips.emplace(id, m_actions.at(id)->text());
    }
    m_actions.at(kCommandAbout)->setText(Q(Text("ORB_IDS_ABOUTBOX")) + QStringLiteral("..."));
    // Greyed in the context menu, it says why there.
    QAction* changeLogin = m_actions.at(kCommandChangeLogin);
    changeLogin->setToolTip(changeLogin->text());
    changeLogin->setText(changeLogin->text() + QStringLiteral("..."));
    m_toolTips.emplace(kCommandChangeLogin, changeLogin->toolTip());
    m_actions.at(kCommandSelectAll)->setShortcuts(QKeySequence::SelectAll);
    m_actions.at(kCommandCopy)->setShortcuts(QKeySequence::Copy);
    m_actions.at(kCommandExportList)->setShortcuts(QKeySequence::Save);
    m_actions.at(kCommandAbout)->setShortcut(QKeySequence(Qt::Key_F1));
    // The keys work wherever the focus is in the window, unless the focused field takes them itself.
    for (const int id : {kCommandSelectAll, kCommandCopy, kCommandExportList, kCommandAbout}) {
        m_actions.at(id)->setShortcutContext(Qt::WindowShortcut);
        window.addAction(m_actions.at(id));
    }
    ShowSearching(false);
}

WindowActions::~WindowActions() = default;

QAction* WindowActions::Action(int id) const
{
    const auto found = m_actions.find(id);
    return found != m_actions.end() ? found->second : nullptr;
}

std::vector<QAction*> WindowActions::ToolbarActions() const
{
    std::vector<QAction*> actions;
    for (const int id : kToolbar) {
        actions.push_back(Action(id));
    }
    return actions;
}

std::vector<QAction*> WindowActions::FilterRowActions() const
{
    std::vector<QAction*> actions;
    for (const int id : kFilterRow) {
        actions.push_back(Action(id));
    }
    return actions;
}

std::unique_ptr<QMenu> WindowActions::ContextMenu(QWidget* parent) const
{
    auto menu = std::make_unique<QMenu>(parent);
    menu->setToolTipsVisible(true);  // the reasons of greyed commands
    for (const int id : kContextMenu) {
        if (id == 0) {
            menu->addSeparator();
        } else {
            menu->addAction(Action(id));
        }
    }
    return menu;
}

void WindowActions::SetEnabled(int id, bool enabled)
{
    if (QAction* action = Action(id)) {
        action->setEnabled(enabled);
    }
}

void WindowActions::SetEnabled(int id, bool enabled, const char* reasonKey)
{
    QAction* action = Action(id);
    const auto tip = m_toolTips.find(id);
    if (action == nullptr || tip == m_toolTips.end()) {
        SetEnabled(id, enabled);
        return;
    }
    action->setEnabled(enabled);
    action->setToolTip(enabled || reasonKey == nullptr ? tip->second
                                                       : tip->second + QLatin1Char('\n') + Q(Text(reasonKey)));
}

void WindowActions::ShowSearching(bool searching)
{
    m_actions.at(kCommandStop)->setVisible(searching);
    m_actions.at(kCommandStop)->setEnabled(searching);
    m_actions.at(kCommandSearch)->setVisible(!searching);
}

QList<QKeySequence> QuitKeys(const QList<QKeySequence>& platformKeys)
{
    QList<QKeySequence> keys;
    for (const QKeySequence& key : platformKeys) {
        if (!key.isEmpty() && !keys.contains(key)) {
            keys.append(key);
        }
    }
    if (const QKeySequence ctrlQ(Qt::CTRL | Qt::Key_Q); !keys.contains(ctrlQ)) {
        keys.append(ctrlQ);
    }
    return keys;
}

}  // namespace tarrowind
