#include "ui/dialogs/latest_update_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "localisation/string_table.h"
#include "ui/dialogs/firmware_update_dlg.h"
#include "ui/dialogs/update_waves_choice.h"

namespace tarrowind {

CLatestUpdateDlg::CLatestUpdateDlg(const std::vector<std::string>& modules, QWidget* parent) : QDialog(parent)
{
    if (IsRightToLeft()) {
        setLayoutDirection(Qt::RightToLeft);
    }
    setWindowTitle(QString::fromStdString(Text("ORB_IDS_FIRMWARE_UPDATE_TO_LATEST")));
    auto* targets = new QLabel(CFirmwareUpdateDlg::TargetsText(modules), this);
    targets->setObjectName("targets");
    targets->setWordWrap(true);
    m_waves = new UpdateWavesChoice(this);
    m_waves->SetModules(modules.size());

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* update =
        buttons->addButton(QString::fromStdString(Text("ORB_IDS_UPDATE")), QDialogButtonBox::AcceptRole);
    update->setObjectName("update");
    update->setAutoDefault(true);
    QPushButton* cancel =
        buttons->addButton(QString::fromStdString(Text("ORB_IDC_CANCEL")), QDialogButtonBox::RejectRole);
    cancel->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(targets);
    layout->addWidget(m_waves);
    layout->addStretch(1);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CLatestUpdateDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CLatestUpdateDlg::reject);
}

void CLatestUpdateDlg::accept()
{
    waves = m_waves->Choice();
    QDialog::accept();
}

}  // namespace tarrowind
