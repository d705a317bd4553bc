#pragma once

#include <QWidget>

class QToolBar;

namespace tarrowind {

// The band that holds the toolbar, with a light vertical gradient behind it.
class CMyReBar final : public QWidget {
    Q_OBJECT

public:
    static constexpr QRgb kTopColour = qRgb(245, 250, 255);
    static constexpr QRgb kBottomColour = qRgb(190, 209, 230);

    explicit CMyReBar(QWidget* parent = nullptr);
    // Puts the toolbar in the band; the band takes the toolbar's height.
    void AddBand(QToolBar* toolbar);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tarrowind
