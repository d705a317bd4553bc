#pragma once

#include <QColor>
#include <QRect>
#include <QStyledItemDelegate>

namespace tarrowind {

// Draws every cell of the device list itself: the rounded, gradient
// selection highlight across the whole row, the coloured cell texts with the row icon in column 0, and
// the progress bar in column 10. The view's own drawing of the cells is never used.
class ControllerListDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit ControllerListDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The column shown as the list's sorted column (a light tint on unselected rows); -1 for none.
    void SetSelectedColumn(int column) { m_selectedColumn = column; }
    int SelectedColumn() const { return m_selectedColumn; }
    // False on systems whose list view does not paint unselected rows itself; then the delegate fills
    // them with the window colour. Every Qt view paints its own background, so the list sets true.
    void SetThemedSystem(bool themed) { m_themedSystem = themed; }

    // Progress bar geometry (the cell bounds inset 8, 1, 8, 3) and the width of its filled part
    // (width × progress / 100, truncated, not clamped).
    static QRect ProgressBarRect(const QRect& cell);
    static long long ProgressFillWidth(int width, int progress);

    static constexpr QColor kProgressBackground{224, 224, 224};
    static constexpr QColor kProgressBar{0, 120, 240};

    // Selection highlight colours: outer border, inner border, gradient top, gradient bottom.
    struct HighlightColors {
        QColor outer, inner, top, bottom;
    };
    static HighlightColors Highlight(bool focused);

private:
    void PaintSelection(QPainter* painter, const QStyleOptionViewItem& option, bool focused) const;
    void PaintText(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    static void PaintProgress(QPainter* painter, const QStyleOptionViewItem& option, int progress);

    int m_selectedColumn = -1;
    bool m_themedSystem = true;
};

}  // namespace tarrowind
