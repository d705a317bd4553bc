#include "ui/main_window/list_filter_row.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

#include <functional>

#include "localisation/string_table.h"

namespace tarrowind {
namespace {

class FilterField final : public QLineEdit {
public:
    FilterField(std::function<void()> onEnter, QWidget* parent) : QLineEdit(parent), m_onEnter(std::move(onEnter)) {}

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            clear();
            return;
        }
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            m_onEnter();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    std::function<void()> m_onEnter;
};

}  // namespace

ListFilterRow::ListFilterRow(const std::vector<QAction*>& commands, QWidget* parent)
    : QWidget(parent), m_field(new FilterField([this] { emit enterPressed(); }, this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_field->setClearButtonEnabled(true);
    m_field->setPlaceholderText(QString::fromStdString(Text("ORB_IDS_FILTER")) + QStringLiteral(" (") +
                                QKeySequence(QKeySequence::Find).toString(QKeySequence::NativeText) +
                                QStringLiteral(")"));
    m_field->setMinimumWidth(280);
    m_field->setMaxLength(200);
    layout->addWidget(m_field);
    layout->addStretch(1);
    for (QAction* action : commands) {
        auto* button = new QPushButton(action->text(), this);
        button->setAutoDefault(false);
        button->setEnabled(action->isEnabled());
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, button, [button, action] {
            button->setText(action->text());
            button->setEnabled(action->isEnabled());
        });
        layout->addWidget(button);
    }
    connect(m_field, &QLineEdit::textChanged, this, &ListFilterRow::filterChanged);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        m_field->setFocus(Qt::ShortcutFocusReason);
        m_field->selectAll();
    });
}

}  // namespace tarrowind
