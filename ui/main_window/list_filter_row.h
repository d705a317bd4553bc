#pragma once

#include <QWidget>

#include <vector>

class QAction;
class QLineEdit;

namespace tarrowind {

// The row above the list: the filter field (Ctrl+F) and a button for each command of `commands`, which
// follows its action's text and enabled state. In the field, Escape empties it and Enter moves on to the
// list; its other keys stay the field's own.
class ListFilterRow final : public QWidget {
    Q_OBJECT

public:
    ListFilterRow(const std::vector<QAction*>& commands, QWidget* parent);

    QLineEdit& Field() const { return *m_field; }

signals:
    void filterChanged(const QString& text);
    void enterPressed();

private:
    QLineEdit* m_field;
};

}  // namespace tarrowind
