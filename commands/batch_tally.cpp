#include "commands/batch_tally.h"

#include <algorithm>

namespace tarrowind {

void BatchTally::Start(const std::vector<const DeviceRecord*>& rows, int queued)
{
    if (!m_active) {
        *this = BatchTally{};
        m_active = true;
    }
    for (const DeviceRecord* r : rows) {
        if (r != nullptr) {
            m_rows.emplace(r, Row::Waiting);
        }
    }
    m_queued += std::max(queued, 0);
}

void BatchTally::Note(const DeviceRecord& record)
{
    const auto found = m_rows.find(&record);
    if (!m_active || found == m_rows.end()) {
        return;
    }
    Row& row = found->second;
    if (record.action != kActionNone) {
        // A row acting again after it ended was queued once more: it is counted once, at its last end.
        if (row == Row::Done || row == Row::Failed) {
            --m_ended;
            m_failed -= row == Row::Failed ? 1 : 0;
        }
        row = Row::Acting;
    } else if (row == Row::Acting && record.failureReason == FailureReason::Held) {
        row = Row::Waiting;  // shown queued for a wave that never came: not acted on
    } else if (row == Row::Acting) {
        row = IsFailure(record.status) ? Row::Failed : Row::Done;
        ++m_ended;
        m_failed += row == Row::Failed ? 1 : 0;
    }
}

BatchTally::Summary BatchTally::Finish()
{
    int acted = 0;
    for (const auto& [record, row] : m_rows) {
        acted += row != Row::Waiting ? 1 : 0;
    }
    // Rows queued and taken out again before any report still count as queued, not skipped.
    const int queued = std::min(std::max(m_queued, acted), static_cast<int>(m_rows.size()));
    Summary summary;
    summary.failed = m_failed;
    summary.done = std::max(queued - m_failed, 0);
    summary.skipped = static_cast<int>(m_rows.size()) - queued;
    *this = BatchTally{};
    return summary;
}

bool BatchTally::IsFailure(std::int32_t status)
{
    return IsFailureStatus(status);
}

}  // namespace tarrowind
