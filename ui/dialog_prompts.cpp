#include "ui/dialog_prompts.h"

#include <QDesktopServices>
#include <QUrl>

#include "localisation/string_table.h"
#include "operations/module_settings.h"
#include "ui/controller_property_sheet.h"
#include "ui/dactyl_setting_dlg.h"
#include "ui/firmware_update_dlg.h"
#include "ui/login_dlg.h"

namespace tarrowind {

bool DialogPrompts::AskLogin(std::string& loginId, std::string& password)
{
    CLoginDlg dialog(m_parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    loginId = dialog.loginId;
    password = dialog.password;
    return true;
}

bool DialogPrompts::EditModuleSettings(ModuleSettings& settings)
{
    CControllerPropertySheet sheet(QString::fromStdString(Text("ORB_IDS_CONTROLLER_SETTING")), m_parent);
    sheet.settings = settings;
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
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    values = DactylSettingValues{dialog.deviceName, dialog.dhcp, dialog.ip, dialog.mask, dialog.gateway};
    return true;
}

bool DialogPrompts::AskFirmwareFile(DeviceRecord& first, std::string& path)
{
    CFirmwareUpdateDlg dialog(m_parent);
    dialog.device = &first;
    dialog.firmwareFolder = m_manager.FirmwareFolder();
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    path = dialog.firmwareFile;
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

}  // namespace tarrowind
