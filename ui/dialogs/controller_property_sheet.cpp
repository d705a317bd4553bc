#include "ui/dialogs/controller_property_sheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "localisation/string_table.h"
#include "ui/dialogs/network_config_page.h"
#include "ui/dialogs/other_config_page.h"

namespace tarrowind {
namespace {

constexpr int kPageWidthUnits = 310;

}  // namespace

CControllerPropertySheet::CControllerPropertySheet(const QString& title, QWidget* parent) : QDialog(parent)
{
    if (IsRightToLeft()) {
        setLayoutDirection(Qt::RightToLeft);
    }
    setWindowTitle(title);

    m_tabs = new QTabWidget(this);
    m_network = new CNetworkConfigPage(&settings, m_tabs);
    m_other = new COtherConfigPage(&settings, m_tabs);
    m_tabs->addTab(m_network, QString::fromStdString(Text("ORB_IDS_NETWORK")));
    m_tabs->addTab(m_other, QString::fromStdString(Text("ORB_IDS_OTHER")));
    // Dialog units: a quarter of the average character width.
    m_tabs->setMinimumWidth(fontMetrics().averageCharWidth() * kPageWidthUnits / 4);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QString::fromStdString(Text("ORB_IDC_OK")), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QString::fromStdString(Text("ORB_IDC_CANCEL")), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &CControllerPropertySheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CControllerPropertySheet::reject);
    connect(m_tabs, &QTabWidget::currentChanged, this, &CControllerPropertySheet::OnCurrentChanged);
    connect(m_other, &COtherConfigPage::ActivationRequested, this, [this] { m_tabs->setCurrentWidget(m_other); });
    connect(m_network, &CNetworkConfigPage::ActivationRequested, this, [this] { m_tabs->setCurrentWidget(m_network); });
}

CControllerPropertySheet::~CControllerPropertySheet() = default;

void CControllerPropertySheet::setVisible(bool visible)
{
    // The caller fills the record after construction: the page in front reads it just before it shows.
    if (visible && !isVisible()) {
        InitialiseCurrentPage();
    }
    QDialog::setVisible(visible);
}

void CControllerPropertySheet::InitialiseCurrentPage()
{
    if (m_tabs->currentWidget() == m_network) {
        m_network->Initialise();
    } else if (m_tabs->currentWidget() == m_other) {
        m_other->Initialise();
    }
}

void CControllerPropertySheet::OnCurrentChanged(int index)
{
    const int left = m_shownIndex;
    m_shownIndex = index;
    // The Other page may not be left with a port it would refuse; it asks to be shown again itself.
    if (left == m_tabs->indexOf(m_other) && index != left && m_other->IsInitialised() && !m_other->CheckValues()) {
        return;
    }
    // Before the sheet shows, the caller may still be filling the record.
    if (isVisible()) {
        InitialiseCurrentPage();
    }
}

void CControllerPropertySheet::accept()
{
    if (m_tabs->currentWidget() == m_other && !m_other->CheckValues()) {
        return;
    }
    // The Network page writes again on the next OK if the Other page refuses.
    if (!m_network->CheckValues()) {
        return;
    }
    m_network->Apply();
    if (!m_other->Apply()) {
        return;
    }
    QDialog::accept();
}

}  // namespace tarrowind
