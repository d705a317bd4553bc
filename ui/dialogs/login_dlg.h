#pragma once

#include <QDialog>

#include <string>

class QLineEdit;

namespace tarrowind {

// Asks for the login ID and password that the set-login action uses on every selected module. OK is
// refused while the login ID is empty; the password may be empty.
class CLoginDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CLoginDlg(QWidget* parent = nullptr);
    ~CLoginDlg() override;

    // Both may be preset by the caller before the dialog shows; the login ID then shows selected.
    std::string loginId;   // the login ID as typed (UTF-8); never empty after Accepted
    std::string password;  // the password as typed (UTF-8); kept in memory only

    void setVisible(bool visible) override;

public slots:
    void accept() override;

private:
    QLineEdit* m_loginId;
    QLineEdit* m_password;
};

}  // namespace tarrowind
