#include "ui/dialogs/restore_settings_dlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "localisation/string_table.h"

namespace tarrowind {
namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

const char* StateKey(RestoreFieldState state)
{
    switch (state) {
    case RestoreFieldState::Unchanged:
        return "ORB_IDS_RESTORE_UNCHANGED";
    case RestoreFieldState::Changed:
        return "ORB_IDS_RESTORE_CHANGED";
    case RestoreFieldState::Kept:
        return "ORB_IDS_RESTORE_KEPT";
    }
    return "ORB_IDS_RESTORE_UNCHANGED";
}

// The words the settings sheet uses for the coded values.
QString ValueText(const RestoreField& f, const std::string& text)
{
    if (f.secret) {
        return QStringLiteral("••••••");
    }
    if (std::string_view(f.key) == "ORB_IDS_RESTORE_DDNS_MODE") {
        return Q(Text(text == "0" ? "ORB_IDS_SEND_TO_DDNS" : text == "1" ? "ORB_IDS_SEND_TO_LOCAL_DDNS" : "ORB_IDS_DISABLE"));
    }
    if (std::string_view(f.key) == "ORB_IDS_ENABLE_DHCP") {
        return text == "on" ? QStringLiteral("✓") : QStringLiteral("–");
    }
    return Q(text);
}

}  // namespace

CRestoreSettingsDlg::CRestoreSettingsDlg(const ModuleSettings& current, const SettingsBackup& backup,
                                         RestoreAddressCheck network, QWidget* parent)
    : QDialog(parent), m_current(current), m_backup(backup), m_network(network)
{
    if (IsRightToLeft()) {
        setLayoutDirection(Qt::RightToLeft);
    }
    setWindowTitle(Q(Text("ORB_IDS_RESTORE_SETTINGS")).remove(QStringLiteral("...")));
    auto* from = new QLabel(Q(Label("ORB_IDS_RESTORE_FROM")) + QLatin1Char(' ') + Q(backup.name) +
                                QStringLiteral(" (") + Q(backup.mac) + QStringLiteral(", ") + Q(backup.model) +
                                QLatin1Char(' ') + Q(backup.version) + QStringLiteral(", ") + Q(backup.savedAt) +
                                QLatin1Char(')'),
                            this);
    from->setTextFormat(Qt::PlainText);
    m_fields = new QTableWidget(0, 4, this);
    m_fields->setObjectName("fields");
    m_fields->setHorizontalHeaderLabels({Q(Text("ORB_IDS_RESTORE_FIELD")), Q(Text("ORB_IDS_RESTORE_NOW")),
                                         Q(Text("ORB_IDS_RESTORE_AFTER")), QString()});
    m_fields->verticalHeader()->hide();
    m_fields->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_fields->setSelectionMode(QAbstractItemView::NoSelection);
    m_fields->setWordWrap(false);
    m_fields->horizontalHeader()->setStretchLastSection(true);
    m_withNetwork = new QCheckBox(Q(Text("ORB_IDS_RESTORE_WITH_NETWORK")), this);
    m_refused = new QLabel(Q(Text("ORB_IDS_RESTORE_ADDRESS_REFUSED")), this);
    m_refused->setWordWrap(true);
    m_refused->setStyleSheet(QStringLiteral("color: #b00020"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_withNetwork, &QCheckBox::toggled, this, [this] { Show(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(from);
    layout->addWidget(m_fields);
    layout->addWidget(m_withNetwork);
    layout->addWidget(m_refused);
    layout->addWidget(buttons);
    resize(640, 520);
    Show();
}

bool CRestoreSettingsDlg::WithNetwork() const
{
    return m_withNetwork->isChecked();
}

void CRestoreSettingsDlg::Show()
{
    const std::vector<RestoreField> fields = PreviewRestore(m_current, m_backup.settings, WithNetwork());
    m_fields->setRowCount(0);
    for (const RestoreField& f : fields) {
        const int row = m_fields->rowCount();
        m_fields->insertRow(row);
        const QStringList cells = {Q(Text(f.key)), ValueText(f, f.oldText), ValueText(f, f.newText),
                                   Q(Text(StateKey(f.state)))};
        for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (f.state == RestoreFieldState::Changed) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            if (f.state == RestoreFieldState::Kept && column == 2) {
                item->setToolTip(ValueText(f, f.fileText));
            }
            m_fields->setItem(row, column, item);
        }
    }
    m_fields->resizeColumnsToContents();
    const bool refused = WithNetwork() && !m_network.Usable();
    m_refused->setVisible(refused);
    m_ok->setEnabled(!refused);
}

}  // namespace tarrowind
