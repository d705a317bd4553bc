#include "ui/my_rebar.h"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QToolBar>

namespace tarrowind {

CMyReBar::CMyReBar(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CMyReBar::AddBand(QToolBar* toolbar)
{
    // The band's own gradient shows through the toolbar.
    toolbar->setAttribute(Qt::WA_TranslucentBackground);
    toolbar->setStyleSheet(QStringLiteral("QToolBar { background: transparent; border: none; }"));
    static_cast<QHBoxLayout*>(layout())->addWidget(toolbar, 0, Qt::AlignLeft | Qt::AlignTop);
}

void CMyReBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, QColor::fromRgb(kTopColour));
    gradient.setColorAt(1, QColor::fromRgb(kBottomColour));
    painter.fillRect(rect(), gradient);
}

}  // namespace tarrowind
