#include "ui/main_window/window_status_bar.h"

#include <QLabel>

namespace tarrowind {
namespace {

QLabel* AddPane(QStatusBar& bar)
{
    auto* pane = new QLabel(&bar);
    pane->setFixedWidth(150);
    pane->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    bar.addPermanentWidget(pane);
    return pane;
}

}  // namespace

WindowStatusBar::WindowStatusBar(const QString& status, QWidget* parent)
    : QStatusBar(parent), m_status(new QLabel(status, this))
{
    setSizeGripEnabled(true);
    m_status->setMinimumWidth(100);
    addWidget(m_status, 1);
    m_count = AddPane(*this);
    m_ranges = AddPane(*this);
    m_notice = AddPane(*this);
}

}  // namespace tarrowind
