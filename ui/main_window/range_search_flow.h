#pragma once

#include <QString>

#include <cstdint>

#include "discovery/address_ranges.h"

class QLabel;
class QWidget;

namespace tarrowind {

class CControllerManager;

// "Search addresses...": the ranges (and pace) every following search probes besides the broadcasts.
// They are given to the manager, named in a status bar pane, and remembered between runs as the user
// typed them.
class RangeSearchFlow {
public:
    RangeSearchFlow(QWidget& window, CControllerManager& manager, QLabel& pane);

    // Asks for the ranges; true when the user set them (the window then searches).
    bool Ask();
    // Empty ranges: broadcasts only.
    void Set(const QString& text, const AddressRanges& ranges, std::uint32_t probesPerSecond);
    // What a former run remembered: offered again in the dialog, not probed until the user says so, as
    // this may be another site.
    void Remember(const QString& text, std::uint32_t probesPerSecond);
    const QString& RangesText() const { return m_text; }
    std::uint32_t ProbeRate() const { return m_probeRate; }

private:
    QWidget& m_window;
    CControllerManager& m_manager;
    QLabel& m_pane;
    QString m_text;  // as the user typed them
    std::uint32_t m_probeRate = kDefaultProbeRate;
};

}  // namespace tarrowind
