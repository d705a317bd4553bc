#pragma once

#include <QColor>
#include <QRect>
#include <QStyledItemDelegate>

namespace tarrowind {

// The device list's own look over the style's cells: the style draws texts, colours and the row icon
// from the model; this delegate adds what no style has: the rounded, gradient selection across the
// whole row, a focus frame around the whole current row, and the progress bar of column 10. Text
// colours are kept readable on what is behind them: dark on the light selection, lightened on dark
// palettes.
class ControllerListDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit ControllerListDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // A tooltip only over a cell whose text is cut: the whole text, shown literally.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // True when the cell's text is wider than the style can show in option.rect.
    bool IsCut(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    // The column shown as the list's sorted column (a light tint on unselected rows); -1 for none.
    void SetSelectedColumn(int column) { m_selectedColumn = column; }
    int SelectedColumn() const { return m_selectedColumn; }
    // False on systems whose list view does not paint unselected rows itself; then the delegate fills
    // them with the window colour. Every Qt view paints its own background, so the list sets true.
    void SetThemedSystem(bool themed) { m_themedSystem = themed; }

    // Progress bar geometry (the cell bounds inset 8, 1, 8, 3), the value drawn (0 to 100: a module
    // may report more, the record keeps what it said) and the width of the filled part.
    static QRect ProgressBarRect(const QRect& cell);
    static int ShownProgress(int progress);
    static long long ProgressFillWidth(int width, int progress);

    static constexpr QColor kProgressBackground{224, 224, 224};
    static constexpr QColor kProgressBar{0, 120, 240};
    static constexpr QColor kProgressText{0, 0, 0};  // the bar is light in every palette
    static constexpr QColor kSelectedText{0, 0, 0};  // so is the selection

    // Selection highlight colours: outer border, inner border, gradient top, gradient bottom.
    struct HighlightColors {
        QColor outer, inner, top, bottom;
    };
    static HighlightColors Highlight(bool focused);

    // `text` as drawn over `background`. The status and action colours are made for light backgrounds;
    // over a dark one a colour of too little contrast is lightened, keeping its hue, until its
    // contrast ratio reaches kMinContrast.
    static QColor Readable(const QColor& text, const QColor& background);
    static constexpr double kMinContrast = 4.5;

private:
    void PaintSelection(QPainter* painter, const QStyleOptionViewItem& option, bool focused) const;
    static void PaintFocusFrame(QPainter* painter, const QStyleOptionViewItem& option, const QColor& background);
    static void PaintProgress(QPainter* painter, const QStyleOptionViewItem& option, int progress);

    int m_selectedColumn = -1;
    bool m_themedSystem = true;
};

}  // namespace tarrowind
