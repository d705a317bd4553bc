#pragma once

#include <QStatusBar>

#include <vector>

#include "commands/batch_tally.h"

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

    // A command queued `queued` actions for `rows`; `command` names it in the summary at the batch's end,
    // whose counts `summaryKey` words (done, failed, skipped) in the command's own terms.
    void StartBatch(const QString& command, const char* summaryKey, const std::vector<const DeviceRecord*>& rows,
                    int queued);
    void NoteReport(const DeviceRecord& record) { m_batch.Note(record); }
    // The window refused to close while work is pending; it says so until the work has ended.
    void RefuseClose(int pending);
    // The status pane while no search runs: the work's counts while `jobs` actions (of them `running`)
    // are queued or running, else the last batch's summary, else `idle`. `pending` adds the settings
    // reads under way, which also hold the window open.
    void ShowWork(int jobs, int running, int pending, const QString& idle);
    // A search throws the last summary away.
    void ForgetSummary() { m_summary.clear(); }

private:
    QLabel* m_status;
    QLabel* m_count;
    QLabel* m_ranges;
    QLabel* m_notice;
    BatchTally m_batch;
    QString m_command;
    const char* m_summaryKey = nullptr;
    QString m_summary;
    bool m_closeRefused = false;
};

}  // namespace tarrowind
