#pragma once

#include <QWidget>

#include <array>

#include "operations/module_settings.h"

class QLabel;
class QLineEdit;

namespace tarrowind {

// The settings sheet's second tab: the three 3DES codes, the device port and the module's login account.
// It checks what it takes: the port must lie in 1025 to 65535 and the password must be typed twice alike.
class COtherConfigPage final : public QWidget {
    Q_OBJECT

public:
    static constexpr std::int32_t kLowestPort = 1025;
    static constexpr std::int32_t kHighestPort = 65535;
    static constexpr std::int32_t kDefaultPort = 4000;

    // `settings` outlives the page.
    explicit COtherConfigPage(ModuleSettings* settings, QWidget* parent = nullptr);

    bool IsInitialised() const { return m_initialised; }
    // Corrects a port out of range in the record and fills the controls from it; runs once.
    void Initialise();
    // The port check without a message: whether leaving the page or OK may go ahead.
    bool HasValidPort() const;
    // The port check as the user meets it: on failure asks to be shown, says why, and selects the port.
    bool CheckValues();
    // Checks, then writes the page into the record (once initialised); false keeps the sheet open here.
    bool Apply();

signals:
    // The page must be the one shown: a check failed.
    void ActivationRequested();

private:
    bool LacksTripleDes() const;

    ModuleSettings* m_settings;
    bool m_initialised = false;

    std::array<QLabel*, 3> m_codeLabels{};
    std::array<QLineEdit*, 3> m_codes{};
    QLineEdit* m_port;
    QLineEdit* m_loginId;
    QLineEdit* m_password;
    QLineEdit* m_confirmation;
};

}  // namespace tarrowind
