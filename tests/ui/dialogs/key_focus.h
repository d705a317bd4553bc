#pragma once

#include <QApplication>
#include <QTest>
#include <QWidget>

namespace tarrowind::testing {

// Gives `widget` the keyboard focus as Tab would; false when it cannot take it.
inline bool Focus(QWidget* widget)
{
    QWidget* window = widget->window();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window)) {
        return false;
    }
    widget->setFocus(Qt::TabFocusReason);
    return QApplication::focusWidget() == widget;
}

// Return, or the keypad's Enter, where the user put the focus; false when `widget` cannot take it.
inline bool PressEnterIn(QWidget* widget, Qt::Key key = Qt::Key_Return)
{
    if (!Focus(widget)) {
        return false;
    }
    QTest::keyClick(widget, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    return true;
}

}  // namespace tarrowind::testing
