#pragma once

#include <QDialog>

#include <functional>
#include <string>

#include "commands/login_rules.h"

class QLabel;
class QLineEdit;

namespace tarrowind {

// Asks for the login that every selected logged-in module is to take: the login ID and the password
// twice. OK is refused, with the reason in a message, while the two passwords differ or the rules refuse
// the login; the dialog then stays open on the field to mend.
class CChangeLoginDlg final : public QDialog {
    Q_OBJECT

public:
    using Check = std::function<NewLoginProblem(const std::string& loginId, const std::string& password)>;

    // `modules`: how many modules take the login, for the note above the fields.
    CChangeLoginDlg(int modules, Check check, QWidget* parent = nullptr);
    ~CChangeLoginDlg() override;

    std::string loginId;   // may be preset; as typed after Accepted (UTF-8)
    std::string password;  // as typed after Accepted; kept in memory only

    void setVisible(bool visible) override;

public slots:
    void accept() override;

private:
    Check m_check;
    QLineEdit* m_loginId;
    QLineEdit* m_password;
    QLineEdit* m_confirmation;
};

}  // namespace tarrowind
