#include "ui/device_list/controller_list_delegate.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QTableView>
#include <QToolTip>

#include <algorithm>

#include "ui/device_list/colour_contrast.h"
#include "ui/device_list/controller_list_model.h"

namespace tarrowind {

namespace {

QStyle* StyleOf(const QStyleOptionViewItem& option)
{
    return option.widget != nullptr ? option.widget->style() : QApplication::style();
}

bool ListHasFocus(const QWidget* widget)
{
    const auto* view = qobject_cast<const QAbstractItemView*>(widget);
    return view != nullptr && (view->hasFocus() || view->viewport()->hasFocus());
}

// Below this luminance white text stands out better than black: the background counts as dark.
constexpr double kDarkBackground = 0.18;

// The whole row in viewport coordinates: from the left of the first shown column to the right of the
// last one, whatever order the columns were dragged into.
QRect RowRect(const QStyleOptionViewItem& option)
{
    const auto* view = qobject_cast<const QTableView*>(option.widget);
    if (view == nullptr) {
        return option.rect;
    }
    const QHeaderView* header = view->horizontalHeader();
    int left = option.rect.left();
    int right = option.rect.right();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (header->isSectionHidden(logical)) {
            continue;
        }
        const int position = header->sectionViewportPosition(logical);
        left = std::min(left, position);
        right = std::max(right, position + header->sectionSize(logical) - 1);
    }
    QRect row = option.rect;
    row.setLeft(left);
    row.setRight(right);
    return row;
}

}  // namespace

ControllerListDelegate::ControllerListDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QRect ControllerListDelegate::ProgressBarRect(const QRect& cell)
{
    return cell.adjusted(8, 1, -8, -3);
}

int ControllerListDelegate::ShownProgress(int progress)
{
    return std::clamp(progress, 0, 100);
}

long long ControllerListDelegate::ProgressFillWidth(int width, int progress)
{
    return static_cast<long long>(width) * ShownProgress(progress) / 100;
}

QColor ControllerListDelegate::Readable(const QColor& text, const QColor& background)
{
    if (RelativeLuminance(background) >= kDarkBackground || ContrastRatio(text, background) >= kMinContrast) {
        return text;
    }
    // Lighter in steps with hue and saturation kept; full lightness (white) always contrasts enough
    // with a dark background.
    const QColor hsl = text.toHsl();
    for (int lightness = hsl.lightness();; lightness = std::min(lightness + 4, 255)) {
        const QColor lighter = QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), lightness, text.alpha());
        if (lightness == 255 || ContrastRatio(lighter, background) >= kMinContrast) {
            return lighter;
        }
    }
}

ControllerListDelegate::HighlightColors ControllerListDelegate::Highlight(bool focused)
{
    if (focused) {
        return {QColor(170, 200, 245), QColor(230, 250, 250), QColor(210, 240, 250), QColor(185, 215, 250)};
    }
    return {QColor(215, 215, 215), QColor(240, 240, 240), QColor(245, 245, 245), QColor(230, 230, 230)};
}

void ControllerListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const
{
    const auto* model = qobject_cast<const ControllerListModel*>(index.model());
    const DeviceRecord* shown = model != nullptr ? model->SnapshotAt(index.row()) : nullptr;
    if (shown == nullptr) {
        return;
    }
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const bool focused = ListHasFocus(option.widget);

    painter->save();
    painter->setClipRect(option.rect, Qt::IntersectClip);

    // Row background: the highlight for selected rows, else the view's own background, tinted in the
    // sorted column.
    QColor background = option.palette.color(QPalette::Base);
    if (selected) {
        PaintSelection(painter, option, focused);
        background = Highlight(focused).bottom;
    } else if (!shown->addressConfirmed) {
        background = ControllerListModel::UnconfirmedBackground();
        painter->fillRect(option.rect, background);
    } else if (!m_themedSystem) {
        painter->fillRect(option.rect, background);
    } else if (index.column() == m_selectedColumn) {
        const QColor text = option.palette.color(QPalette::Text);
        // About 4% of the text colour over the window colour, as the platform marks a sorted column.
        const auto mix = [](int a, int b) { return (a * 96 + b * 4) / 100; };
        background = QColor(mix(background.red(), text.red()), mix(background.green(), text.green()),
                            mix(background.blue(), text.blue()));
        painter->fillRect(option.rect, background);
    }
    // Under the contents: some styles fill their focus frame.
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    if (focused && view != nullptr && view->currentIndex().row() == index.row()) {
        PaintFocusFrame(painter, option, background);
    }

    if (index.column() == ControllerListModel::kColumnProgress) {
        if (ControllerListModel::ShowsProgress(shown->status)) {
            PaintProgress(painter, cell, shown->progress);
        }
    } else {
        // The style draws text, ellipsis and icon; the selection and the focus frame are the row's, here.
        const QVariant foreground = index.data(Qt::ForegroundRole);
        QColor text = selected ? kSelectedText : cell.palette.color(QPalette::Text);
        if (foreground.canConvert<QColor>()) {
            text = foreground.value<QColor>();
        }
        cell.palette.setColor(QPalette::Text, Readable(text, background));
        cell.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        cell.backgroundBrush = Qt::NoBrush;
        StyleOf(option)->drawControl(QStyle::CE_ItemViewItem, &cell, painter, option.widget);
    }
    painter->restore();
}

bool ControllerListDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                       const QModelIndex& index)
{
    if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    // A cut cell shows its whole text; an unconfirmed row always tells why it is marked, and a cell with
    // more to say (why a row failed) says it.
    const auto* model = qobject_cast<const ControllerListModel*>(index.model());
    const DeviceRecord* shown = model != nullptr && index.isValid() ? model->SnapshotAt(index.row()) : nullptr;
    const bool warn = shown != nullptr && !shown->addressConfirmed;
    const bool cut = index.isValid() && (warn || (model != nullptr && model->TipSaysMore(index)) || IsCut(option, index));
    const QString tip = cut ? index.data(Qt::ToolTipRole).toString() : QString();
    const QRect cell = view->visualRect(index);
    QToolTip::showText(event->globalPos(), tip, view, QRect(view->viewport()->mapTo(view, cell.topLeft()), cell.size()));
    event->setAccepted(!tip.isEmpty());
    return true;
}

bool ControllerListDelegate::IsCut(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    if (cell.text.isEmpty()) {
        return false;
    }
    // The style's own wish for the cell, padding and icon included, against what the cell has.
    const QSize wanted = StyleOf(option)->sizeFromContents(QStyle::CT_ItemViewItem, &cell, QSize(), option.widget);
    return wanted.width() > option.rect.width();
}

void ControllerListDelegate::PaintSelection(QPainter* painter, const QStyleOptionViewItem& option,
                                            bool focused) const
{
    const HighlightColors colors = Highlight(focused);
    const QRect row = RowRect(option);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setBrush(option.palette.color(QPalette::Base));
    // Outer border: corner ellipse 6 × 6; inner border one pixel in: corner ellipse 2 × 2. The half-pixel
    // inset keeps the one-pixel lines on the pixel grid.
    painter->setPen(QPen(colors.outer, 1));
    painter->drawRoundedRect(QRectF(row).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter->setPen(QPen(colors.inner, 1));
    painter->drawRoundedRect(QRectF(row.adjusted(1, 1, -1, -1)).adjusted(0.5, 0.5, -0.5, -0.5), 1, 1);
    painter->setRenderHint(QPainter::Antialiasing, false);
    const QRect fill = row.adjusted(2, 2, -2, -2);
    if (fill.isValid()) {
        QLinearGradient gradient(0, fill.top(), 0, fill.bottom());
        gradient.setColorAt(0, colors.top);
        gradient.setColorAt(1, colors.bottom);
        painter->fillRect(fill, gradient);
    }
    painter->restore();
}

void ControllerListDelegate::PaintFocusFrame(QPainter* painter, const QStyleOptionViewItem& option,
                                             const QColor& background)
{
    // The style's focus frame around the whole row, one pixel inside it; each cell draws its part.
    QStyleOptionFocusRect frame;
    frame.QStyleOption::operator=(option);
    frame.rect = RowRect(option).adjusted(1, 1, -1, -1);
    // Shown whenever the list has the focus, not only after keyboard navigation.
    frame.state |= QStyle::State_KeyboardFocusChange | QStyle::State_HasFocus | QStyle::State_Item;
    frame.backgroundColor = background;
    StyleOf(option)->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, painter, option.widget);
}

void ControllerListDelegate::PaintProgress(QPainter* painter, const QStyleOptionViewItem& option, int progress)
{
    const QRect bar = ProgressBarRect(option.rect);
    if (bar.width() <= 0 || bar.height() <= 0) {
        return;
    }
    painter->fillRect(bar, kProgressBackground);
    painter->setPen(kProgressBar);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(bar.adjusted(0, 0, -1, -1));
    const long long fill = ProgressFillWidth(bar.width(), progress);
    if (fill > 0) {
        QRect filled(bar.left(), bar.top(), static_cast<int>(fill), bar.height());
        painter->fillRect(QStyle::visualRect(option.direction, bar, filled), kProgressBar);
    }
    painter->setFont(option.font);
    painter->setPen(kProgressText);
    painter->drawText(bar, Qt::AlignCenter | Qt::TextSingleLine,
                      QString::number(ShownProgress(progress)) + QLatin1Char('%'));
}

}  // namespace tarrowind
