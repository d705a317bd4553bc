#pragma once

#include <QStatusBar>

class QLabel;

namespace tarrowind {

// The main window's status bar: what the window does (ready, or the search's countdown) and three panes
// of fixed width: the rows shown of those held, the address ranges searched, and a notice.
class WindowStatusBar final : public QStatusBar {
    Q_OBJECT

public:
    WindowStatusBar(const QString& status, QWidget* parent);

    QLabel& Status() const { return *m_status; }
    QLabel& Count() const { return *m_count; }
    QLabel& Ranges() const { return *m_ranges; }
    // Says once that the modules are reached without static ARP entries.
    QLabel& Notice() const { return *m_notice; }

private:
    QLabel* m_status;
    QLabel* m_count;
    QLabel* m_ranges;
    QLabel* m_notice;
};

}  // namespace tarrowind
