#include "ui/dialogs/login_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "localisation/string_table.h"

namespace tarrowind {
namespace {

constexpr int kWidthUnits = 205;

}  // namespace

CLoginDlg::CLoginDlg(QWidget* parent) : QDialog(parent)
{
    if (IsRightToLeft()) {
        setLayoutDirection(Qt::RightToLeft);
    }
    setWindowTitle(QString::fromStdString(Text("ORB_IDS_SET_LOGIN")));

    m_loginId = new QLineEdit(this);
    m_loginId->setObjectName("loginId");
    m_password = new QLineEdit(this);
    m_password->setObjectName("password");
    m_password->setEchoMode(QLineEdit::Password);

    auto* fields = new QFormLayout;
    fields->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    fields->addRow(QString::fromStdString(Label("ORB_IDS_LOGIN_ID")), m_loginId);
    fields->addRow(QString::fromStdString(Label("ORB_IDS_PASSWORD")), m_password);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QString::fromStdString(Text("ORB_IDC_OK")), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QString::fromStdString(Text("ORB_IDC_CANCEL")), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addStretch(1);
    layout->addWidget(buttons);
    // Dialog units: a quarter of the average character width.
    setMinimumWidth(fontMetrics().averageCharWidth() * kWidthUnits / 4);

    connect(buttons, &QDialogButtonBox::accepted, this, &CLoginDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CLoginDlg::reject);
}

CLoginDlg::~CLoginDlg() = default;

void CLoginDlg::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        m_loginId->setText(QString::fromStdString(loginId));
        m_password->setText(QString::fromStdString(password));
        // A preset login ID is offered selected: Enter keeps it, typing replaces it.
        m_loginId->selectAll();
        m_loginId->setFocus();
    }
    QDialog::setVisible(visible);
}

void CLoginDlg::accept()
{
    // Blanks are characters: only a login ID of no characters at all is refused.
    if (m_loginId->text().isEmpty()) {
        ShowMessage("ORB_IDS_LOGIN_ID_IS_EMPTY", message_box::kOk | message_box::kIconError);
        m_loginId->setFocus();
        return;
    }
    loginId = m_loginId->text().toStdString();
    password = m_password->text().toStdString();
    QDialog::accept();
}

}  // namespace tarrowind
