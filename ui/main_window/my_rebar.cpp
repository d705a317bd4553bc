#include "ui/main_window/my_rebar.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QToolBar>

#include <algorithm>

#include "ui/device_list/colour_contrast.h"

namespace tarrowind {

namespace {

// The worst contrast of the captions against either end of a gradient.
double WorstContrast(const QPalette& palette, QRgb top, QRgb bottom)
{
    double worst = 21.0;
    for (const QPalette::ColorRole role : {QPalette::ButtonText, QPalette::WindowText}) {
        const QColor caption = palette.color(QPalette::Active, role);
        for (const QRgb end : {top, bottom}) {
            worst = std::min(worst, ContrastRatio(caption, QColor::fromRgb(end)));
        }
    }
    return worst;
}

}  // namespace

CMyReBar::CMyReBar(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CMyReBar::AddBand(QToolBar* toolbar)
{
    // The band's own gradient shows through the toolbar: the filter keeps the toolbar from painting its
    // panel and border (a style sheet would do the same, but would also freeze the toolbar's palette, so
    // its captions would no longer follow palette changes).
    toolbar->setAttribute(Qt::WA_TranslucentBackground);
    toolbar->setAutoFillBackground(false);
    static_cast<QHBoxLayout*>(layout())->addWidget(toolbar, 0, Qt::AlignLeft | Qt::AlignTop);
    if (m_toolbar != nullptr) {
        m_toolbar->removeEventFilter(this);
    }
    m_toolbar = toolbar;
    toolbar->installEventFilter(this);
    update();
}

void CMyReBar::HoldButtonSize(QSize buttonSize, QSize imageSize)
{
    m_buttonSize = buttonSize;
    m_imageSize = imageSize;
    FitButtons();
}

void CMyReBar::FitButtons()
{
    if (m_toolbar == nullptr || !m_buttonSize.isValid()) {
        return;
    }
    if (m_toolbar->iconSize() != m_imageSize) {
        m_toolbar->setIconSize(m_imageSize);
    }
    for (QAction* action : m_toolbar->actions()) {
        QWidget* button = m_toolbar->widgetForAction(action);
        if (button == nullptr || action->isSeparator()) {
            continue;
        }
        const QSize wanted(std::max(m_buttonSize.width(), button->sizeHint().width()), m_buttonSize.height());
        if (button->minimumSize() != wanted || button->maximumSize() != wanted) {
            button->setFixedSize(wanted);
        }
    }
}

std::pair<QColor, QColor> CMyReBar::Gradient() const
{
    // The captions drawn over the band are the toolbar's; before there is one, the band's own.
    const QPalette& captions = m_toolbar != nullptr ? m_toolbar->palette() : palette();
    if (WorstContrast(captions, kDarkTopColour, kDarkBottomColour) >
        WorstContrast(captions, kTopColour, kBottomColour)) {
        return {QColor::fromRgb(kDarkTopColour), QColor::fromRgb(kDarkBottomColour)};
    }
    return {QColor::fromRgb(kTopColour), QColor::fromRgb(kBottomColour)};
}

void CMyReBar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
        update();
    }
    QWidget::changeEvent(event);
}

bool CMyReBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_toolbar) {
        if (event->type() == QEvent::Paint) {
            return true;  // the buttons and separators are widgets of their own and still paint
        }
        // A palette set on the toolbar alone changes its captions without telling the band.
        if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
            update();
        }
        // A button whose caption, font or style changed asks the toolbar for a new layout first.
        if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show) {
            FitButtons();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CMyReBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const auto [top, bottom] = Gradient();
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.fillRect(rect(), gradient);
}

}  // namespace tarrowind
