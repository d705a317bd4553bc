#pragma once

#include <QWidget>

#include <cstddef>
#include <optional>

#include "operations/update_waves.h"

class QCheckBox;
class QSpinBox;

namespace tarrowind {

// The firmware dialogs' choice to update many modules in waves: a first wave updated alone, then the
// rest, stopping at the first failure. Shown only for two modules or more; off until the user turns it on.
class UpdateWavesChoice final : public QWidget {
    Q_OBJECT

public:
    explicit UpdateWavesChoice(QWidget* parent = nullptr);

    // The first wave holds 1 to modules - 1 of them.
    void SetModules(std::size_t modules);
    // Unset: every module at once.
    std::optional<WaveOptions> Choice() const;

private:
    QCheckBox* m_inWaves;
    QSpinBox* m_firstWave;
    std::size_t m_modules = 0;
};

}  // namespace tarrowind
