#include "ui/main_window/apply_plan_flow.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>

#include <string_view>
#include <vector>

#include "commands/module_commands.h"
#include "commands/settings_plan.h"
#include "operations/controller_manager.h"
#include "localisation/string_table.h"
#include "ui/dialogs/apply_plan_dlg.h"
#include "ui/device_list/controller_list_commands.h"
#include "ui/dialogs/message_box.h"
#include "ui/main_window/plan_rows.h"

namespace tarrowind {

ApplyPlanFlow::ApplyPlanFlow(QWidget& window, const CControllerListCtrl& list, CControllerManager& manager,
                             ModuleCommands& commands)
    : m_window(window), m_list(list), m_manager(manager), m_commands(commands)
{
}

void ApplyPlanFlow::ChooseFile()
{
    const QString path = QFileDialog::getOpenFileName(
        &m_window, QString::fromStdString(Text("ORB_IDS_APPLY_PLAN")).remove(QStringLiteral("...")),
        QDir::homePath(), CsvFileFilter());
    if (!path.isEmpty()) {
        Apply(path);
    }
}

bool ApplyPlanFlow::Apply(const QString& path)
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
    PlanRows rows = PlanRows::Of(m_list);
    const PlanMatch match = MatchSettingsPlan(plan, rows.AllCopies(), !m_manager.StaticArp().Refused());
    CApplyPlanDlg dialog(match, path, &m_window);
    dialog.setWindowIcon(m_window.windowIcon());
    if (dialog.exec() != QDialog::Accepted || match.changes.empty()) {
        return false;
    }
    m_commands.ChangeSettings(rows.Live(match.Changes()));
    return true;
}

}  // namespace tarrowind
