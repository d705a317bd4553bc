#pragma once

#include <QColor>
#include <QPointer>
#include <QSize>
#include <QToolBar>
#include <QWidget>

#include <utility>

namespace tarrowind {

// The band that holds the toolbar, with a vertical gradient behind it: light blue, or dark slate when
// the palette's captions are light (a dark theme), so the captions always stand out from the band. The
// choice follows every palette change of the band or of the toolbar.
class CMyReBar final : public QWidget {
    Q_OBJECT

public:
    static constexpr QRgb kTopColour = qRgb(245, 250, 255);
    static constexpr QRgb kBottomColour = qRgb(190, 209, 230);
    static constexpr QRgb kDarkTopColour = qRgb(62, 70, 82);
    static constexpr QRgb kDarkBottomColour = qRgb(36, 42, 52);

    explicit CMyReBar(QWidget* parent = nullptr);
    // Puts the toolbar in the band; the band takes the toolbar's height.
    void AddBand(QToolBar* toolbar);
    // The toolbar's buttons keep `buttonSize`, wider only where a caption would otherwise be cut (long
    // captions in some languages), and its pictures keep `imageSize`, whatever changes the captions, the
    // font or the style make later.
    void HoldButtonSize(QSize buttonSize, QSize imageSize);

    // The top and bottom colours of the gradient for the current palette.
    std::pair<QColor, QColor> Gradient() const;

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FitButtons();

    QPointer<QToolBar> m_toolbar;
    QSize m_buttonSize;  // invalid: the buttons take their own size
    QSize m_imageSize;
};

}  // namespace tarrowind
