#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>

#include <map>
#include <memory>
#include <vector>

#include "ui/device_list/toolbar_image_set.h"

class QAction;
class QMenu;
class QSize;
class QWidget;

namespace tarrowind {

// The main window's commands, by the id each action carries in its data.
enum WindowCommand : int {
    // On the toolbar; Search and Stop share its first place.
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
    // For sites with many modules, on the filter row and in the context menu.
    kCommandCopy = 50020,
    kCommandExportList = 50021,
    kCommandSearchAddresses = 50022,
    kCommandAssignAddresses = 50023,
    kCommandApplyPlan = 50024,
    // The selected rows' changed certificates are taken as the modules' own.
    kCommandTrustNewCertificate = 50025,
    // A module's settings to a file and back, in the context menu.
    kCommandSaveSettings = 50040,
    kCommandRestoreSettings = 50041,
    // A new login for the selected logged-in modules.
    kCommandChangeLogin = 50026,
    kCommandAbout = 16,
};

// Every command of the main window once, as an action: its menu text, its toolbar caption, tooltip and
// picture, its keys, and whether it is enabled now. The toolbar, the filter row's buttons, the context
// menu and the keyboard all reach a command through its action, so each command is named and greyed in
// one place. Triggering an action emits `triggered` with its command; the window carries it out.
class WindowActions final : public QObject {
    Q_OBJECT

public:
    // `window` owns the actions and takes their keys; the toolbar pictures are `imageSize`.
    WindowActions(QWidget& window, QSize imageSize);
    ~WindowActions() override;

    QAction* Action(int id) const;  // null for an id that is no command
    // The toolbar's actions in order; null for a separator.
    std::vector<QAction*> ToolbarActions() const;
    // The filter row's commands, in order.
    std::vector<QAction*> FilterRowActions() const;
    // The context menu, with the actions as they stand.
    std::unique_ptr<QMenu> ContextMenu(QWidget* parent) const;

    void SetEnabled(int id, bool enabled);
    // As SetEnabled; a disabled command's tooltip adds `reason` (a string-table key, null: none) to its
    // caption, so the greyed button says what the user can do about it.
    void SetEnabled(int id, bool enabled, const char* reasonKey);
    // Stop takes Search's place, on the toolbar and in the context menu, while a search runs.
    void ShowSearching(bool searching);

signals:
    void triggered(int id);

private:
    ToolbarImageSet m_images;
    std::map<int, QAction*> m_actions;
    std::map<int, QString> m_toolTips;  // each command's tooltip when enabled
};

// The keys that close the window: the platform's own quit keys, and Ctrl+Q where they lack it. The same
// keys twice would make the shortcut ambiguous, and an ambiguous shortcut does nothing.
QList<QKeySequence> QuitKeys(const QList<QKeySequence>& platformKeys);

}  // namespace tarrowind
