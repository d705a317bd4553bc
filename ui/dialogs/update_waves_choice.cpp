#include "ui/dialogs/update_waves_choice.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

#include "localisation/string_table.h"

namespace tarrowind {

UpdateWavesChoice::UpdateWavesChoice(QWidget* parent) : QWidget(parent)
{
    m_inWaves = new QCheckBox(QString::fromStdString(Text("ORB_IDS_UPDATE_IN_WAVES")), this);
    m_inWaves->setObjectName("inWaves");
    m_firstWave = new QSpinBox(this);
    m_firstWave->setObjectName("firstWave");
    m_firstWave->setRange(1, 1);
    m_firstWave->setEnabled(false);
    auto* caption = new QLabel(QString::fromStdString(Label("ORB_IDS_FIRST_WAVE")), this);
    caption->setBuddy(m_firstWave);
    caption->setEnabled(false);

    auto* waveRow = new QHBoxLayout;
    // Indented under the check box it belongs to.
    waveRow->addSpacing(m_inWaves->sizeHint().height());
    waveRow->addWidget(caption);
    waveRow->addWidget(m_firstWave);
    waveRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_inWaves);
    layout->addLayout(waveRow);
    connect(m_inWaves, &QCheckBox::toggled, m_firstWave, &QWidget::setEnabled);
    connect(m_inWaves, &QCheckBox::toggled, caption, &QWidget::setEnabled);
    hide();
}

void UpdateWavesChoice::SetModules(std::size_t modules)
{
    m_modules = modules;
    const int most = static_cast<int>(std::min<std::size_t>(std::max<std::size_t>(modules, 2) - 1, 9999));
    m_firstWave->setRange(1, most);
    setVisible(modules >= 2);
}

std::optional<WaveOptions> UpdateWavesChoice::Choice() const
{
    if (m_modules < 2 || !m_inWaves->isChecked()) {
        return std::nullopt;
    }
    return WaveOptions{static_cast<std::size_t>(m_firstWave->value()), true, false};
}

}  // namespace tarrowind
