#include "ui/dialogs/change_login_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "localisation/string_table.h"
#include "platform/secret_wipe.h"

namespace tarrowind {
namespace {

constexpr int kWidthUnits = 240;

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

}  // namespace

CChangeLoginDlg::CChangeLoginDlg(int modules, Check check, QWidget* parent) : QDialog(parent), m_check(std::move(check))
{
    if (IsRightToLeft()) {
        setLayoutDirection(Qt::RightToLeft);
    }
    setWindowTitle(Q(Text("ORB_IDS_CHANGE_LOGIN")));

    auto* note = new QLabel(Q(Text("ORB_IDS_CHANGE_LOGIN_NOTE", modules)), this);
    note->setWordWrap(true);
    m_loginId = new QLineEdit(this);
    m_loginId->setObjectName("loginId");
    m_password = new QLineEdit(this);
    m_password->setObjectName("password");
    m_password->setEchoMode(QLineEdit::Password);
    m_confirmation = new QLineEdit(this);
    m_confirmation->setObjectName("confirmation");
    m_confirmation->setEchoMode(QLineEdit::Password);

    auto* fields = new QFormLayout;
    fields->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    fields->addRow(Q(Label("ORB_IDS_LOGIN_ID")), m_loginId);
    fields->addRow(Q(Label("ORB_IDS_PASSWORD")), m_password);
    fields->addRow(Q(Label("ORB_IDS_PASSWORD_CONFIRM")), m_confirmation);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Q(Text("ORB_IDC_OK")), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(Q(Text("ORB_IDC_CANCEL")), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addLayout(fields);
    layout->addStretch(1);
    layout->addWidget(buttons);
    setMinimumWidth(fontMetrics().averageCharWidth() * kWidthUnits / 4);

    // Every edit of the password asks for its confirmation again.
    connect(m_password, &QLineEdit::textEdited, m_confirmation, &QLineEdit::clear);
    connect(buttons, &QDialogButtonBox::accepted, this, &CChangeLoginDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CChangeLoginDlg::reject);
}

CChangeLoginDlg::~CChangeLoginDlg() = default;

void CChangeLoginDlg::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        m_loginId->setText(Q(loginId));
        m_loginId->selectAll();
        m_loginId->setFocus();
    }
    QDialog::setVisible(visible);
}

void CChangeLoginDlg::accept()
{
    std::string typedId = m_loginId->text().toStdString();
    std::string typed = m_password->text().toStdString();
    const WipeOnExit wipeTyped(typed);
    QLineEdit* mend = nullptr;
    const char* key = nullptr;
    if (m_password->text() != m_confirmation->text()) {
        mend = m_confirmation;
        key = "ORB_IDS_PASSWORD_NOT_MATCH";
    } else if (const NewLoginProblem problem = m_check(typedId, typed); problem != NewLoginProblem::None) {
        mend = problem == NewLoginProblem::NoLoginId ? m_loginId : m_password;
        key = NewLoginProblemKey(problem);
    }
    if (key != nullptr) {
        ShowMessage(key, message_box::kOk | message_box::kIconExclamation);
        if (mend == m_password) {
            m_confirmation->clear();
        }
        mend->setFocus();
        mend->selectAll();
        return;
    }
    loginId = std::move(typedId);
    password = typed;
    QDialog::accept();
}

}  // namespace tarrowind
