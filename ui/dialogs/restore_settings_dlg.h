#pragma once

#include <QDialog>

#include "commands/settings_restore.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tarrowind {

// "Restore settings...": every value of the module's configuration as it is now and as the file would
// leave it, before anything is queued. The network values are kept unless the user ticks the choice;
// ticked, OK is offered only when the file's addressing is one the module may take (`network`).
class CRestoreSettingsDlg final : public QDialog {
    Q_OBJECT

public:
    CRestoreSettingsDlg(const ModuleSettings& current, const SettingsBackup& backup, RestoreAddressCheck network,
                        QWidget* parent = nullptr);

    bool WithNetwork() const;
    QTableWidget& Fields() const { return *m_fields; }
    QCheckBox& NetworkChoice() const { return *m_withNetwork; }
    QPushButton& OkButton() const { return *m_ok; }

private:
    void Show();

    const ModuleSettings& m_current;
    const SettingsBackup& m_backup;
    RestoreAddressCheck m_network;
    QTableWidget* m_fields;
    QCheckBox* m_withNetwork;
    QLabel* m_refused;
    QPushButton* m_ok;
};

}  // namespace tarrowind
