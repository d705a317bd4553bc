#include <QApplication>
#include <QTest>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

#include "ui/device_list/colour_contrast.h"
#include "ui/main_window/my_rebar.h"

using tarrowind::CMyReBar;
using tarrowind::ContrastRatio;

namespace {

QPalette Scheme(QColor window, QColor text)
{
    QPalette palette(window);
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Button, QPalette::Base}) {
        palette.setColor(role, window);
    }
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        palette.setColor(role, text);
    }
    return palette;
}

bool Near(QRgb actual, QRgb wanted)
{
    return std::abs(qRed(actual) - qRed(wanted)) <= 3 && std::abs(qGreen(actual) - qGreen(wanted)) <= 3 &&
           std::abs(qBlue(actual) - qBlue(wanted)) <= 3;
}

}  // namespace

class MyReBarTest : public QObject {
    Q_OBJECT

private slots:
    void captionsStandOutFromTheBand();
    void buttonsKeepTheirSizeAndWidenForALongerCaption();
};

void MyReBarTest::buttonsKeepTheirSizeAndWidenForALongerCaption()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* band = new CMyReBar(&window);
    auto* toolbar = new QToolBar(band);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    QAction* shortCaption = toolbar->addAction(QStringLiteral("Stop"));
    QAction* growing = toolbar->addAction(QStringLiteral("Reboot"));
    band->AddBand(toolbar);
    band->HoldButtonSize(QSize(68, 56), QSize(32, 32));
    layout->addWidget(band);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The held size, unless the system's font needs more for the caption.
    const auto held = [&](QAction* action) {
        return QSize(std::max(68, toolbar->widgetForAction(action)->sizeHint().width()), 56);
    };
    QCOMPARE(toolbar->widgetForAction(shortCaption)->size(), held(shortCaption));
    QCOMPARE(toolbar->widgetForAction(growing)->size(), held(growing));
    QCOMPARE(toolbar->iconSize(), QSize(32, 32));

    // A caption that would be cut widens its button alone, and only as far as it needs.
    growing->setText(QStringLiteral("A caption far longer than the button"));
    QWidget* wide = toolbar->widgetForAction(growing);
    QTRY_VERIFY(wide->width() > held(shortCaption).width());
    QTRY_COMPARE(wide->width(), wide->sizeHint().width());
    QCOMPARE(wide->height(), 56);
    QCOMPARE(toolbar->widgetForAction(shortCaption)->size(), held(shortCaption));
    toolbar->setIconSize(QSize(16, 16));
    QTRY_COMPARE(toolbar->iconSize(), QSize(32, 32));
}

void MyReBarTest::captionsStandOutFromTheBand()
{
    QCOMPARE(qRound(ContrastRatio(Qt::black, Qt::white)), 21);
    QCOMPARE(ContrastRatio(QColor(90, 90, 90), QColor(90, 90, 90)), 1.0);

    const QPalette original = QApplication::palette();
    const QPalette light = Scheme(QColor(240, 240, 240), QColor(0, 0, 0));
    const QPalette dark = Scheme(QColor(45, 45, 48), QColor(230, 230, 230));
    QApplication::setPalette(light);

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* band = new CMyReBar(&window);
    auto* toolbar = new QToolBar(band);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    QAction* action = toolbar->addAction(QStringLiteral("Search"));
    band->AddBand(toolbar);
    layout->addWidget(band);
    layout->addStretch();
    window.resize(400, 120);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // The band as drawn, at its right edge (past the toolbar), against the caption colour of the button,
    // which follows the palette in force.
    const auto check = [&](const char* what, const QPalette& inForce) {
        QCoreApplication::processEvents();  // a window learns of a new application palette by an event
        const QImage drawn = band->grab().toImage();
        const QRgb top = drawn.pixel(drawn.width() - 1, 0);
        const QRgb bottom = drawn.pixel(drawn.width() - 1, drawn.height() - 1);
        const QColor caption = toolbar->widgetForAction(action)->palette().color(QPalette::ButtonText);
        QVERIFY2(caption == inForce.color(QPalette::ButtonText), what);
        QVERIFY2(ContrastRatio(caption, QColor::fromRgb(top)) >= 4.5, what);
        QVERIFY2(ContrastRatio(caption, QColor::fromRgb(bottom)) >= 4.5, what);
        if (&inForce == &light) {
            QVERIFY2(Near(top, CMyReBar::kTopColour) && Near(bottom, CMyReBar::kBottomColour), what);
        }
    };
    check("light application palette", light);
    QApplication::setPalette(dark);
    check("dark application palette", dark);
    window.setPalette(light);
    check("light window palette", light);
    toolbar->setPalette(dark);
    check("dark toolbar palette", dark);
    toolbar->setPalette(QPalette());
    window.setPalette(QPalette());
    QApplication::setPalette(light);
    check("light again", light);

    QApplication::setPalette(original);
}

QTEST_MAIN(MyReBarTest)
#include "my_rebar_test.moc"
