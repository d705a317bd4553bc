#include "ui/main_window/settings_file_flow.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>

#include <memory>
#include <string_view>

#include "commands/module_commands.h"
#include "commands/settings_backup.h"
#include "commands/settings_backup_run.h"
#include "commands/settings_restore.h"
#include "localisation/string_table.h"
#include "operations/controller_manager.h"
#include "platform/secret_wipe.h"
#include "ui/dialogs/message_box.h"
#include "ui/dialogs/restore_settings_dlg.h"
#include "ui/main_window/plan_rows.h"

namespace tarrowind {
namespace {

QString Caption(const char* key)
{
    return QString::fromStdString(Text(key)).remove(QStringLiteral("..."));
}

// The window's prompts, but the settings command's edit is the restore's preview.
class RestorePrompts final : public CommandPrompts {
public:
    RestorePrompts(CommandPrompts& window, QWidget& parent) : m_window(window), m_parent(parent) {}

    bool EditModuleSettings(ModuleSettings& settings) override
    {
        CRestoreSettingsDlg dialog(settings, backup, network, &m_parent);
        dialog.setWindowIcon(m_parent.windowIcon());
        if (dialog.exec() != QDialog::Accepted) {
            return false;
        }
        ApplyRestore(backup.settings, dialog.WithNetwork(), settings);
        return true;
    }

    bool AskLogin(std::string& id, std::string& password) override { return m_window.AskLogin(id, password); }
    bool EditDactylSettings(DactylSettingValues&) override { return false; }
    bool AskFirmwareFile(DeviceRecord& first, std::string& path) override { return m_window.AskFirmwareFile(first, path); }
    void OpenAddress(const std::string& url) override { m_window.OpenAddress(url); }
    void AddressInUse(const DeviceRecord& record) override { m_window.AddressInUse(record); }
    bool Await(const DeviceRecord& record, std::function<void()> work, std::function<void()> afterAbandoned) override
    {
        return m_window.Await(record, std::move(work), std::move(afterAbandoned));
    }
    void Skipped(const DeviceRecord& record, SkipReason reason) override { m_window.Skipped(record, reason); }
    void CannotTellApart(const DeviceRecord& record, int modules, bool first) override
    {
        m_window.CannotTellApart(record, modules, first);
    }

    SettingsBackup backup;
    RestoreAddressCheck network;

private:
    CommandPrompts& m_window;
    QWidget& m_parent;
};

}  // namespace

struct SettingsFileFlow::Restoring {
    Restoring(CControllerManager& manager, CommandPrompts& window, QWidget& parent)
        : prompts(window, parent), commands(manager, prompts)
    {
        commands.SetListed([this] { return std::vector<const DeviceRecord*>(listed.begin(), listed.end()); });
    }
    RestorePrompts prompts;
    ModuleCommands commands;
    std::vector<const DeviceRecord*> listed;  // into `rows`
    PlanRows rows;
};

SettingsFileFlow::SettingsFileFlow(QWidget& window, const CControllerListCtrl& list, CControllerManager& manager,
                                   CommandPrompts& prompts)
    : m_window(window), m_list(list), m_manager(manager), m_prompts(prompts),
      m_restoring(std::make_unique<Restoring>(manager, prompts, window))
{
}

SettingsFileFlow::~SettingsFileFlow() = default;

void SettingsFileFlow::Save(const std::vector<DeviceRecord*>& selected)
{
    const QString folder = QFileDialog::getExistingDirectory(&m_window, Caption("ORB_IDS_SAVE_SETTINGS"), QDir::homePath());
    if (folder.isEmpty()) {
        return;
    }
    // The reads outlive this command when the user stops waiting: the run goes with the last of them.
    auto run = std::make_shared<SettingsBackupRun>(m_manager, folder.toStdString(), std::chrono::system_clock::now());
    int skipped = 0;
    const DeviceRecord* first = nullptr;
    for (DeviceRecord* r : selected) {
        if (r == nullptr) {
            continue;
        }
        if (run->Add(*r)) {
            ++skipped;
        } else if (first == nullptr) {
            first = r;
        }
    }
    const auto release = [run] {
        for (DeviceRecord* refused : run->Release()) {
            ModuleCommands::PutBack(*refused, FailureReason::None);
        }
    };
    if (first != nullptr && !m_prompts.Await(*first, [run] { run->Run(); }, release)) {
        return;
    }
    release();
    int saved = 0, failed = 0;
    for (const ModuleBackup& b : run->Modules()) {
        (b.Saved() ? saved : failed) += 1;
    }
    ShowMessageText(Text("ORB_IDS_BACKUP_SUMMARY", saved, failed, skipped),
                    message_box::kOk | (failed > 0 ? message_box::kIconExclamation : message_box::kIconInformation));
}

void SettingsFileFlow::Restore(const std::vector<DeviceRecord*>& selected)
{
    DeviceRecord* r = selected.size() == 1 ? selected.front() : nullptr;
    if (r == nullptr || BackupNotOfferedReason(*r)) {
        return;
    }
    const QString path = QFileDialog::getOpenFileName(&m_window, Caption("ORB_IDS_RESTORE_SETTINGS"), QDir::homePath(),
                                                      QStringLiteral("JSON (*.json);;* (*)"));
    if (path.isEmpty()) {
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowMessage("ORB_IDS_CANNOT_READ_FILE", message_box::kOk | message_box::kIconError);
        return;
    }
    // One byte more than a settings file may hold: the reader refuses it rather than this reading without bound.
    QByteArray bytes = file.read(static_cast<qint64>(kMaxSettingsBackupBytes) + 1);
    const BackupRead read = ReadSettingsBackup(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    bytes.fill('\0');
    if (read.error != BackupReadError::None) {
        ShowMessage("ORB_IDS_BACKUP_FILE_UNREADABLE", message_box::kOk | message_box::kIconError);
        return;
    }
    if (RestoreRefusal(read.backup, *r)) {
        ShowMessage("ORB_IDS_RESTORE_OTHER_MODEL", message_box::kOk | message_box::kIconError);
        return;
    }
    Restoring& restoring = *m_restoring;
    restoring.rows = PlanRows::Of(m_list);
    const std::vector<DeviceRecord*> all = restoring.rows.AllCopies();
    restoring.listed.assign(all.begin(), all.end());
    restoring.prompts.network = CheckRestoreAddressing(*r, read.backup.settings, restoring.listed);
    restoring.prompts.backup = read.backup;
    restoring.commands.Setting({r});
}

}  // namespace tarrowind
