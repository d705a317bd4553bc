#include "ui/main_window/window_status_bar.h"

#include <QLabel>

#include <algorithm>

#include "localisation/string_table.h"

namespace tarrowind {
namespace {

QLabel* AddPane(QStatusBar& bar)
{
    auto* pane = new QLabel(&bar);
    pane->setFixedWidth(150);
    pane->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    bar.addPermanentWidget(pane);
    return pane;
}

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

}  // namespace

WindowStatusBar::WindowStatusBar(const QString& status, QWidget* parent)
    : QStatusBar(parent), m_status(new QLabel(status, this))
{
    setSizeGripEnabled(true);
    m_status->setMinimumWidth(100);
    addWidget(m_status, 1);
    m_count = AddPane(*this);
    m_ranges = AddPane(*this);
    m_notice = AddPane(*this);
}

void WindowStatusBar::StartBatch(const QString& command, const char* summaryKey,
                                 const std::vector<const DeviceRecord*>& rows, int queued)
{
    // Two commands in one batch: the summary names neither rather than the wrong one.
    const bool same = !m_batch.Active() || m_command == command;
    m_command = same ? command : QString();
    m_summaryKey = same ? summaryKey : nullptr;
    m_batch.Start(rows, queued);
}

void WindowStatusBar::RefuseClose(int pending)
{
    m_closeRefused = true;
    m_status->setText(Q(Text("ORB_IDS_CLOSE_REFUSED", pending)));
}

void WindowStatusBar::ShowWork(int jobs, int running, int pending, const QString& idle)
{
    if (m_closeRefused && pending > 0) {
        m_status->setText(Q(Text("ORB_IDS_CLOSE_REFUSED", pending)));
        return;
    }
    if (jobs > 0) {
        const int queued = std::max(jobs - running, 0);
        m_status->setText(m_batch.Active() && m_batch.Ended() > 0
                              ? Q(Text("ORB_IDS_WORK_COUNTS_ENDED", running, queued, m_batch.Ended(), m_batch.Failed()))
                              : Q(Text("ORB_IDS_WORK_COUNTS", running, queued)));
        return;
    }
    m_closeRefused = false;
    if (m_batch.Active()) {
        const BatchTally::Summary s = m_batch.Finish();
        const QString counts = Q(Text(m_summaryKey != nullptr ? m_summaryKey : "ORB_IDS_BATCH_SUMMARY", s.done, s.failed, s.skipped));
        m_summary = m_command.isEmpty() ? counts : m_command + QStringLiteral(": ") + counts;
    }
    m_status->setText(m_summary.isEmpty() ? idle : m_summary);
}

}  // namespace tarrowind
