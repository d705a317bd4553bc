#include "ui/dialogs/other_config_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "commands/login_rules.h"
#include "discovery/device_record.h"
#include "localisation/string_table.h"
#include "platform/secret_wipe.h"
#include "ui/dialogs/message_box.h"

namespace tarrowind {
namespace {

QString QText(const char* key)
{
    return QString::fromStdString(Text(key));
}

QLineEdit* MaskedEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

}  // namespace

COtherConfigPage::COtherConfigPage(ModuleSettings* settings, QWidget* parent) : QWidget(parent), m_settings(settings)
{
    std::vector<QLabel*> captions;
    auto caption = [&](const QString& text, QWidget* buddy) {
        auto* label = new QLabel(text, this);
        label->setBuddy(buddy);
        captions.push_back(label);
        return label;
    };

    auto* codeGroup = new QGroupBox(QText("ORB_IDS_3DES_CODE"), this);
    auto* codeLayout = new QGridLayout(codeGroup);
    const std::array<const char*, 3> codeNames{"code1", "code2", "code3"};
    for (std::size_t i = 0; i < m_codes.size(); ++i) {
        m_codes[i] = MaskedEdit(codeGroup, codeNames[i]);
        m_codeLabels[i] = caption(QText("ORB_IDS_3DES_CODE") + QStringLiteral(" %1:").arg(i + 1), m_codes[i]);
        codeLayout->addWidget(m_codeLabels[i], static_cast<int>(i), 0);
        codeLayout->addWidget(m_codes[i], static_cast<int>(i), 1);
    }

    auto* portGroup = new QGroupBox(QText("ORB_IDS_DEVICE_PORT"), this);
    auto* portLayout = new QGridLayout(portGroup);
    m_port = new QLineEdit(portGroup);
    m_port->setObjectName("port");
    m_port->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_port));
    portLayout->addWidget(caption(QString::fromStdString(Label("ORB_IDS_DEVICE_PORT")), m_port), 0, 0);
    portLayout->addWidget(m_port, 0, 1, Qt::AlignLeft);

    auto* accountGroup = new QGroupBox(QText("ORB_IDS_ACCOUNT"), this);
    auto* accountLayout = new QGridLayout(accountGroup);
    m_loginId = new QLineEdit(accountGroup);
    m_loginId->setObjectName("loginId");
    m_password = MaskedEdit(accountGroup, "password");
    m_confirmation = MaskedEdit(accountGroup, "confirmation");
    accountLayout->addWidget(caption(QString::fromStdString(Label("ORB_IDS_LOGIN_ID")), m_loginId), 0, 0);
    accountLayout->addWidget(m_loginId, 0, 1);
    accountLayout->addWidget(caption(QString::fromStdString(Label("ORB_IDS_PASSWORD")), m_password), 1, 0);
    accountLayout->addWidget(m_password, 1, 1);
    accountLayout->addWidget(caption(QString::fromStdString(Label("ORB_IDS_PASSWORD_CONFIRM")), m_confirmation), 2, 0);
    accountLayout->addWidget(m_confirmation, 2, 1);

    int captionWidth = 0;
    for (const QLabel* label : captions) {
        captionWidth = std::max(captionWidth, label->sizeHint().width());
    }
    for (QGridLayout* grid : {codeLayout, portLayout, accountLayout}) {
        grid->setColumnMinimumWidth(0, captionWidth);
        grid->setColumnStretch(1, 1);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(codeGroup);
    layout->addWidget(portGroup);
    layout->addWidget(accountGroup);
    layout->addStretch(1);

    m_port->setText(QString::number(kDefaultPort));
    // Every edit of the password asks for its confirmation again.
    connect(m_password, &QLineEdit::textEdited, m_confirmation, &QLineEdit::clear);
}

bool COtherConfigPage::LacksTripleDes() const
{
    const DeviceRecord* record = m_settings->target.record;
    return record != nullptr && (record->model == "QT-FP-6621" || record->model == "QT-FP-6622");
}

void COtherConfigPage::Initialise()
{
    if (m_initialised) {
        return;
    }
    m_initialised = true;
    ModuleSettings& s = *m_settings;
    if (s.devicePort < static_cast<std::uint32_t>(kLowestPort) || s.devicePort > static_cast<std::uint32_t>(kHighestPort)) {
        s.devicePort = kDefaultPort;
    }
    // These readers have no 3DES codes: their fields stay empty and disabled.
    const bool noCodes = LacksTripleDes();
    const std::array<const std::string*, 3> codes{&s.des1, &s.des2, &s.des3};
    for (std::size_t i = 0; i < m_codes.size(); ++i) {
        m_codeLabels[i]->setEnabled(!noCodes);
        m_codes[i]->setEnabled(!noCodes);
        m_codes[i]->setText(noCodes ? QString() : QString::fromStdString(*codes[i]));
    }
    m_port->setText(QString::number(s.devicePort));
    m_loginId->setText(QString::fromStdString(s.newLoginName));
    m_password->setText(QString::fromStdString(s.newAdminPassword));
    m_confirmation->setText(m_password->text());
}

bool COtherConfigPage::HasValidPort() const
{
    bool isNumber = false;
    const int port = m_port->text().toInt(&isNumber);
    return isNumber && port >= kLowestPort && port <= kHighestPort;
}

bool COtherConfigPage::CheckValues()
{
    if (HasValidPort()) {
        return true;
    }
    // No number at all (empty, or too long to be one) gets the same prompt as a number out of range:
    // both name what the field takes.
    emit ActivationRequested();
    ShowMessageText(Text("ORB_IDS_PARSE_INT_RANGE", kLowestPort, kHighestPort),
                    message_box::kOk | message_box::kIconExclamation);
    m_port->setFocus();
    m_port->selectAll();
    return false;
}

bool COtherConfigPage::Apply()
{
    if (!m_initialised) {
        return true;
    }
    if (!CheckValues()) {
        return false;
    }
    if (m_password->text() != m_confirmation->text()) {
        emit ActivationRequested();
        m_confirmation->setFocus();
        m_confirmation->selectAll();
        ShowMessage("ORB_IDS_PASSWORD_NOT_MATCH", message_box::kOk);
        return false;
    }
    ModuleSettings& s = *m_settings;
    // A changed login must reach the module as typed (see the login rules); an unchanged one is the
    // module's own and stays whatever it holds.
    const std::string loginId = m_loginId->text().toStdString();
    std::string password = m_password->text().toStdString();
    const WipeOnExit wipePassword(password);
    QLineEdit* unsafe = loginId != s.newLoginName && !IsSafeLoginText(loginId) ? m_loginId
                        : password != s.newAdminPassword && !IsSafeLoginText(password) ? m_password
                                                                                           : nullptr;
    if (unsafe != nullptr) {
        emit ActivationRequested();
        unsafe->setFocus();
        unsafe->selectAll();
        ShowMessage("ORB_IDS_NEW_LOGIN_CHARACTERS", message_box::kOk | message_box::kIconExclamation);
        return false;
    }
    s.des1 = m_codes[0]->text().toStdString();
    s.des2 = m_codes[1]->text().toStdString();
    s.des3 = m_codes[2]->text().toStdString();
    s.devicePort = m_port->text().toUInt();
    s.newLoginName = m_loginId->text().toStdString();
    s.newAdminPassword = m_password->text().toStdString();
    return true;
}

}  // namespace tarrowind
