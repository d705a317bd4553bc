#pragma once

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

#include "operations/update_waves.h"

namespace tarrowind {

class UpdateWavesChoice;

// Asked before many modules are updated to the newest firmware of the folder: names the modules and
// offers to update them in waves. Cancel is the default button.
class CLatestUpdateDlg final : public QDialog {
    Q_OBJECT

public:
    // `modules`: the modules the update goes to, each as the list names it.
    explicit CLatestUpdateDlg(const std::vector<std::string>& modules, QWidget* parent = nullptr);

    // After Accepted: in waves (set) or every module at once.
    std::optional<WaveOptions> waves;

public slots:
    void accept() override;

private:
    UpdateWavesChoice* m_waves;
};

}  // namespace tarrowind
