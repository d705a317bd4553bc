#include "ui/dialogs/firmware_update_dlg.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "localisation/string_table.h"
#include "operations/firmware_folder.h"
#include "ui/dialogs/update_waves_choice.h"

namespace tarrowind {
namespace {

constexpr int kWidthUnits = 293;

CFirmwareUpdateDlg::FileChooser g_fileChooser = nullptr;
QString g_lastFolder;

QString ChooseWithDialog(QWidget* parent, const QString& caption, const QString& directory, const QString& filter)
{
    // Only an existing file can be chosen (the open dialog's file mode).
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

}  // namespace

CFirmwareUpdateDlg::FileChooser CFirmwareUpdateDlg::SetFileChooser(FileChooser chooser)
{
    return std::exchange(g_fileChooser, chooser);
}

QString CFirmwareUpdateDlg::LastFolder()
{
    return g_lastFolder;
}

void CFirmwareUpdateDlg::SetLastFolder(const QString& folder)
{
    g_lastFolder = folder;
}

QString CFirmwareUpdateDlg::FileFilter()
{
    // Patterns inside the parentheses are separated by blanks, not commas, for the chooser to read them.
    return QString::fromStdString(Text("ORB_IDS_FIRMWARE_FILE")) + QStringLiteral(" (*.a90 *.bin)");
}

CFirmwareUpdateDlg::CFirmwareUpdateDlg(QWidget* parent) : QDialog(parent)
{
    if (IsRightToLeft()) {
        setLayoutDirection(Qt::RightToLeft);
    }
    setWindowTitle(QString::fromStdString(Text("ORB_IDS_FIRMWARE_UPDATE")));

    m_path = new QLineEdit(this);
    m_path->setObjectName("path");
    // Paths read left to right in every language.
    m_path->setLayoutDirection(Qt::LeftToRight);
    auto* caption = new QLabel(QString::fromStdString(Label("ORB_IDS_FIRMWARE_FILE")), this);
    caption->setBuddy(m_path);
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setObjectName("browse");
    // A focused button takes Enter; when the focus leaves it, Enter goes back to Cancel.
    browse->setAutoDefault(true);
    browse->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    browse->setFixedWidth(std::max(browse->fontMetrics().horizontalAdvance(QStringLiteral("...")) +
                                       fontMetrics().averageCharWidth() * 3,
                                   m_path->sizeHint().height()));

    m_targets = new QLabel(this);
    m_targets->setObjectName("targets");
    m_targets->setWordWrap(true);
    m_targets->hide();
    m_waves = new UpdateWavesChoice(this);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* update =
        buttons->addButton(QString::fromStdString(Text("ORB_IDS_UPDATE")), QDialogButtonBox::AcceptRole);
    update->setObjectName("update");
    update->setAutoDefault(true);
    QPushButton* cancel =
        buttons->addButton(QString::fromStdString(Text("ORB_IDC_CANCEL")), QDialogButtonBox::RejectRole);
    cancel->setDefault(true);

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(browse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_targets);
    layout->addWidget(caption);
    layout->addLayout(pathRow);
    layout->addWidget(m_waves);
    layout->addStretch(1);
    layout->addWidget(buttons);
    // Dialog units: a quarter of the average character width.
    setMinimumWidth(fontMetrics().averageCharWidth() * kWidthUnits / 4);

    connect(browse, &QPushButton::clicked, this, &CFirmwareUpdateDlg::Browse);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFirmwareUpdateDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFirmwareUpdateDlg::reject);
}

CFirmwareUpdateDlg::~CFirmwareUpdateDlg() = default;

void CFirmwareUpdateDlg::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        // Once per dialog: the firmware the list names for the module's model, or an empty box.
        if (!m_looked && device != nullptr) {
            m_looked = true;
            const std::string folder = firmwareFolder ? *firmwareFolder : LoadFirmwareFolder();
            std::string version, date, file, file2;
            if (ReadFirmwareInfo(folder, device->model, version, date, file, file2)) {
                firmwareFile = file;
            }
        }
        m_path->setText(QString::fromStdString(firmwareFile));
        ShowTargets();
    }
    QDialog::setVisible(visible);
}

QString CFirmwareUpdateDlg::TargetsText(const std::vector<std::string>& modules)
{
    QString text = QString::fromStdString(Text("ORB_IDS_FIRMWARE_MODULE_COUNT", static_cast<int>(modules.size())));
    if (modules.size() <= kNamedModules) {
        for (const std::string& name : modules) {
            // Each name in its own direction, so an address after an Arabic name keeps its order.
            text += QStringLiteral("\n") + QChar(0x2068) + QString::fromStdString(name) + QChar(0x2069);
        }
    }
    return text;
}

void CFirmwareUpdateDlg::ShowTargets()
{
    m_waves->SetModules(modules.size());
    if (modules.empty()) {
        m_targets->hide();
        return;
    }
    m_targets->setText(TargetsText(modules));
    m_targets->show();
}

void CFirmwareUpdateDlg::Browse()
{
    firmwareFile = m_path->text().toStdString();
    // Start where the current file lies, else where the last file was chosen; the chooser names no file of its own.
    QString directory;
    if (!m_path->text().isEmpty()) {
        const QFileInfo current(m_path->text());
        if (current.absoluteDir().exists()) {
            directory = current.absolutePath();
        }
    }
    if (directory.isEmpty() && !g_lastFolder.isEmpty() && QDir(g_lastFolder).exists()) {
        directory = g_lastFolder;
    }
    const FileChooser choose = g_fileChooser != nullptr ? g_fileChooser : &ChooseWithDialog;
    const QString chosen = choose(this, QString::fromStdString(Text("ORB_IDS_FIRMWARE_FILE")), directory, FileFilter());
    if (!chosen.isEmpty()) {
        m_path->setText(chosen);
        firmwareFile = chosen.toStdString();
        g_lastFolder = QFileInfo(chosen).absolutePath();
    }
}

void CFirmwareUpdateDlg::accept()
{
    if (m_path->text().isEmpty()) {
        ShowMessage("ORB_IDS_FIRMWARE_FILE_IS_EMPTY", message_box::kOk | message_box::kIconError);
        m_path->setFocus();
        return;
    }
    firmwareFile = m_path->text().toStdString();
    waves = m_waves->Choice();
    const QFileInfo chosen(m_path->text());
    if (chosen.absoluteDir().exists()) {
        g_lastFolder = chosen.absolutePath();
    }
    QDialog::accept();
}

}  // namespace tarrowind
