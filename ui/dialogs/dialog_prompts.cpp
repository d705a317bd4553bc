#include "ui/dialogs/dialog_prompts.h"

#include <QDesktopServices>
#include <QUrl>

#include <algorithm>
#include <thread>
#include <utility>

#include "localisation/string_table.h"
#include "platform/secret_wipe.h"
#include "operations/module_settings.h"
#include "ui/dialogs/change_login_dlg.h"
#include "ui/dialogs/controller_property_sheet.h"
#include "ui/dialogs/dactyl_setting_dlg.h"
#include "ui/dialogs/firmware_update_dlg.h"
#include "ui/dialogs/latest_update_dlg.h"
#include "ui/dialogs/login_dlg.h"
#include "ui/dialogs/module_wait_dlg.h"
#include "ui/dialogs/network_config_page.h"

namespace tarrowind {

struct DialogPrompts::PendingRead {
    std::thread thread;
    std::function<void()> afterAbandoned;
    CModuleWaitDlg* dialog = nullptr;  // while the user waits
    bool ended = false;
};

DialogPrompts::~DialogPrompts()
{
    // The window closes only with no read left; this guards the reads of a window torn down otherwise.
    for (const auto& read : m_reads) {
        if (read->thread.joinable()) {
            read->thread.join();
        }
    }
}

bool DialogPrompts::Await(const DeviceRecord& record, std::function<void()> work, std::function<void()> afterAbandoned)
{
    auto read = std::make_shared<PendingRead>();
    read->afterAbandoned = std::move(afterAbandoned);
    CModuleWaitDlg dialog(record, m_parent);
    read->dialog = &dialog;
    m_reads.push_back(read);
    read->thread = std::thread([this, read, work = std::move(work)] {
        work();
        // Queued: handled by the window's loop, inside the busy indicator's or after it.
        QMetaObject::invokeMethod(&m_receiver, [this, read] { Ended(read); }, Qt::QueuedConnection);
    });
    dialog.exec();
    read->dialog = nullptr;
    return read->ended;  // else the user stopped waiting: Ended runs afterAbandoned
}

void DialogPrompts::Ended(const std::shared_ptr<PendingRead>& read)
{
    read->ended = true;
    read->thread.join();  // its work is done: it only returns
    m_reads.erase(std::remove(m_reads.begin(), m_reads.end(), read), m_reads.end());
    if (read->dialog != nullptr) {
        read->dialog->Finish();
    } else if (read->afterAbandoned) {
        read->afterAbandoned();
    }
}

bool DialogPrompts::AskLogin(std::string& loginId, std::string& password)
{
    KeepSecretsOutOfDumps();  // the password is typed into this process from here on
    CLoginDlg dialog(m_parent);
    dialog.loginId = lastLoginId;
    const WipeOnExit wipeTyped(dialog.password);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    loginId = dialog.loginId;
    password = dialog.password;
    lastLoginId = loginId;
    return true;
}

bool DialogPrompts::AskNewLogin(int modules, std::string& loginId, std::string& password, const NewLoginCheck& check)
{
    KeepSecretsOutOfDumps();
    CChangeLoginDlg dialog(modules, check, m_parent);
    dialog.loginId = lastLoginId;
    const WipeOnExit wipeTyped(dialog.password);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    loginId = dialog.loginId;
    password = dialog.password;
    lastLoginId = loginId;  // the next login to these modules is with this ID
    return true;
}

bool DialogPrompts::EditModuleSettings(ModuleSettings& settings)
{
    CControllerPropertySheet sheet(QString::fromStdString(Text("ORB_IDS_CONTROLLER_SETTING")), m_parent);
    sheet.settings = settings;
    if (otherModuleAddresses) {
        sheet.NetworkPage()->SetOtherModuleAddresses(otherModuleAddresses(settings.target.record));
    }
    if (sheet.exec() != QDialog::Accepted) {
        return false;
    }
    settings = sheet.settings;
    return true;
}

bool DialogPrompts::EditDactylSettings(DactylSettingValues& values)
{
    CDactylSettingDlg dialog(m_parent);
    dialog.deviceName = values.name;
    dialog.dhcp = values.dhcp;
    dialog.ip = values.ip;
    dialog.mask = values.mask;
    dialog.gateway = values.gateway;
    if (otherModuleAddresses) {
        // The reader's own row is among them; another module on its address stays in the list.
        std::vector<std::uint32_t> others = otherModuleAddresses(nullptr);
        const auto own = std::find(others.begin(), others.end(), values.ip.NetworkOrder());
        if (own != others.end()) {
            others.erase(own);
        }
        dialog.otherModuleAddresses = std::move(others);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    values = DactylSettingValues{dialog.deviceName, dialog.dhcp, dialog.ip, dialog.mask, dialog.gateway};
    return true;
}

namespace {

std::vector<std::string> TargetNames(const std::vector<const DeviceRecord*>& modules)
{
    std::vector<std::string> names;
    for (const DeviceRecord* r : modules) {
        // The address isolated left to right, as the list shows it.
        names.push_back((r->name.empty() ? r->model : r->name) + " (\u2066" + r->ipText + "\u2069)");
    }
    return names;
}

}  // namespace

void DialogPrompts::FirmwareTargets(const std::vector<const DeviceRecord*>& modules)
{
    m_firmwareTargets = TargetNames(modules);
}

bool DialogPrompts::AskUpdateWaves(const std::vector<const DeviceRecord*>& modules, bool toLatest,
                                   std::optional<WaveOptions>& waves)
{
    if (!toLatest) {
        waves = std::exchange(m_fileWaves, std::nullopt);
        return true;
    }
    if (modules.size() < 2) {
        return true;  // one module goes at once, as it always has
    }
    CLatestUpdateDlg dialog(TargetNames(modules), m_parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    waves = dialog.waves;
    return true;
}

bool DialogPrompts::AskFirmwareFile(DeviceRecord& first, std::string& path)
{
    CFirmwareUpdateDlg dialog(m_parent);
    dialog.device = &first;
    dialog.firmwareFolder = m_manager.FirmwareFolder();
    dialog.modules = std::exchange(m_firmwareTargets, {});
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    path = dialog.firmwareFile;
    m_fileWaves = dialog.waves;
    return true;
}

void DialogPrompts::OpenAddress(const std::string& url)
{
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

void DialogPrompts::AddressInUse(const DeviceRecord&)
{
    ShowMessage("ORB_IDS_IP_IN_USE", message_box::kOk | message_box::kIconExclamation);
}

void DialogPrompts::CannotTellApart(const DeviceRecord&, int, bool first)
{
    if (first) {
        ShowMessage("ORB_IDS_CANNOT_TELL_APART", message_box::kOk | message_box::kIconExclamation);
    }
}

}  // namespace tarrowind
