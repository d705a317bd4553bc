#include "ui/dialogs/module_wait_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "discovery/address_text.h"
#include "discovery/device_record.h"
#include "localisation/string_table.h"

namespace tarrowind {

QString CModuleWaitDlg::ModuleText(const DeviceRecord& r)
{
    const QString address = QString::fromStdString(FormatIp(r.ip));
    const QString name = QString::fromUtf8(r.name.data(), static_cast<qsizetype>(r.name.size()));
    return name.isEmpty() ? address : name + QStringLiteral(" (") + address + QLatin1Char(')');
}

CModuleWaitDlg::CModuleWaitDlg(const DeviceRecord& record, QWidget* parent) : QDialog(parent)
{
    if (IsRightToLeft()) {
        setLayoutDirection(Qt::RightToLeft);
    }
    setWindowTitle(QString::fromStdString(Text("ORB_IDS_CONTROLLER_SETTING")));
    setModal(true);
    m_module = new QLabel(this);
    m_module->setTextFormat(Qt::PlainText);
    m_module->setText(ModuleText(record));
    m_busy = new QProgressBar(this);
    m_busy->setRange(0, 0);  // no measure of how long a module takes to answer: a moving bar
    m_busy->setTextVisible(false);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* cancel = buttons->addButton(QString::fromStdString(Text("ORB_IDC_CANCEL")), QDialogButtonBox::RejectRole);
    cancel->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_module);
    layout->addWidget(m_busy);
    layout->addWidget(buttons);
    setMinimumWidth(fontMetrics().averageCharWidth() * 48);
}

void CModuleWaitDlg::Finish()
{
    accept();
}

}  // namespace tarrowind
