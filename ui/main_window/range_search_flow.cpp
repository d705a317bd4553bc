#include "ui/main_window/range_search_flow.h"

#include <QLabel>

#include "operations/controller_manager.h"
#include "localisation/string_table.h"
#include "ui/dialogs/search_addresses_dlg.h"

namespace tarrowind {

RangeSearchFlow::RangeSearchFlow(QWidget& window, CControllerManager& manager, QLabel& pane)
    : m_window(window), m_manager(manager), m_pane(pane)
{
}

bool RangeSearchFlow::Ask()
{
    CSearchAddressesDlg dialog(m_text, m_probeRate, &m_window);
    dialog.setWindowIcon(m_window.windowIcon());
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    Set(dialog.RangesText(), dialog.Ranges(), dialog.ProbesPerSecond());
    return true;
}

void RangeSearchFlow::Set(const QString& text, const AddressRanges& ranges, std::uint32_t probesPerSecond)
{
    m_text = text;
    m_probeRate = probesPerSecond;
    m_manager.SetSearchRanges(ranges, probesPerSecond);
    m_pane.setText(ranges.Empty() ? QString()
                                  : QString::fromStdString(Text("ORB_IDS_RANGES_ACTIVE", static_cast<int>(ranges.Count()))));
    m_pane.setToolTip(ranges.Empty() ? QString() : QString::fromStdString(FormatAddressRanges(ranges)));
}

void RangeSearchFlow::Remember(const QString& text, std::uint32_t probesPerSecond)
{
    m_text = text.left(4096);
    if (IsValidProbeRate(probesPerSecond)) {
        m_probeRate = probesPerSecond;
    }
}

}  // namespace tarrowind
