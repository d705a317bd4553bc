#include "ui/controller_list_delegate.h"

#include <QHeaderView>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTableView>

#include <algorithm>

#include "ui/controller_list_model.h"

namespace tarrowind {

namespace {

constexpr int kIconSize = 16;
constexpr int kIconIndent = 2;     // column 0: the icon keeps clear of the grid line and the highlight
constexpr int kIconTextLeft = 18;  // column 0: text starts this far right of the cell's left edge
constexpr int kIconTextRight = 2;
constexpr int kCellPadding = 6;    // other columns: left and right

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

long long ControllerListDelegate::ProgressFillWidth(int width, int progress)
{
    return static_cast<long long>(width) * progress / 100;
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
    const DeviceRecord* record = model != nullptr ? model->RecordAt(index.row()) : nullptr;
    if (record == nullptr) {
        return;
    }
    painter->save();
    painter->setClipRect(option.rect, Qt::IntersectClip);

    // Row background: the highlight for selected rows, else the view's own background, tinted in the
    // sorted column.
    if (option.state.testFlag(QStyle::State_Selected)) {
        const bool focused = option.widget != nullptr && option.widget->hasFocus();
        PaintSelection(painter, option, focused);
    } else if (!m_themedSystem) {
        painter->fillRect(option.rect, option.palette.color(QPalette::Base));
    } else if (index.column() == m_selectedColumn) {
        const QColor base = option.palette.color(QPalette::Base);
        const QColor text = option.palette.color(QPalette::Text);
        // About 4% of the text colour over the window colour, as the platform marks a sorted column.
        const auto mix = [](int a, int b) { return (a * 96 + b * 4) / 100; };
        painter->fillRect(option.rect, QColor(mix(base.red(), text.red()), mix(base.green(), text.green()),
                                              mix(base.blue(), text.blue())));
    }

    if (index.column() == ControllerListModel::kColumnProgress) {
        if (ControllerListModel::ShowsProgress(record->status)) {
            PaintProgress(painter, option, record->progress);
        }
    } else {
        PaintText(painter, option, index);
    }
    painter->restore();
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

void ControllerListDelegate::PaintText(QPainter* painter, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const
{
    const QRect cell = option.rect;
    QRect textRect;
    if (index.column() == ControllerListModel::kColumnModel) {
        // Icon and label together: the icon at the left (centred in a row taller than the icon), the
        // text from 18 pixels on to 2 pixels before the right edge.
        const QRect span = cell.adjusted(kIconIndent, 0, 0, 0);
        const QRect iconRect(span.left(), span.top() + (span.height() - kIconSize) / 2, kIconSize, kIconSize);
        const auto icon = index.data(Qt::DecorationRole).value<QIcon>();
        icon.paint(painter, QStyle::visualRect(option.direction, cell, iconRect));
        textRect = QRect(QPoint(span.left() + kIconTextLeft, span.top()),
                         QPoint(span.right() - kIconTextRight, span.bottom()));
    } else {
        textRect = cell.adjusted(kCellPadding, 0, -kCellPadding, 0);
    }
    textRect = QStyle::visualRect(option.direction, cell, textRect);
    if (textRect.width() <= 0) {
        return;
    }

    const QVariant foreground = index.data(Qt::ForegroundRole);
    const QColor color =
        foreground.canConvert<QColor>() ? foreground.value<QColor>() : option.palette.color(QPalette::Text);

    // Horizontally as the column's header says; vertically centred, one line, ellipsis at the end.
    const auto headerAlignment = Qt::Alignment::fromInt(
        index.model()->headerData(index.column(), Qt::Horizontal, Qt::TextAlignmentRole).toInt());
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (headerAlignment.testFlag(Qt::AlignHCenter)) {
        horizontal = Qt::AlignHCenter;
    } else if (headerAlignment.testFlag(Qt::AlignRight)) {
        horizontal = Qt::AlignRight;
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    const QString shown = option.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width());
    painter->setFont(option.font);
    painter->setPen(color);
    painter->setLayoutDirection(option.direction);
    painter->drawText(textRect,
                      static_cast<int>(QStyle::visualAlignment(option.direction, horizontal) | Qt::AlignVCenter |
                                       Qt::TextSingleLine),
                      shown);
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
    // Not clamped: above 100 the bar runs past the inner rectangle, as far as the cell (the clip).
    const long long fill = std::min<long long>(ProgressFillWidth(bar.width(), progress), option.rect.width());
    if (fill > 0) {
        QRect filled(bar.left(), bar.top(), static_cast<int>(fill), bar.height());
        painter->fillRect(QStyle::visualRect(option.direction, bar, filled), kProgressBar);
    }
    painter->setFont(option.font);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(bar, Qt::AlignCenter | Qt::TextSingleLine, QString::number(progress) + QLatin1Char('%'));
}

}  // namespace tarrowind
