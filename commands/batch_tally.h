#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "discovery/device_record.h"

namespace tarrowind {

// Counts one batch of actions as its rows report, so the window can say how far the work has come and,
// at its end, how it went. A batch queued while another runs joins it.
class BatchTally {
public:
    struct Summary {
        int done = 0;
        int failed = 0;
        int skipped = 0;  // selected but never queued
    };

    // `rows`: the live records the command was given; `queued`: how many actions it queued.
    void Start(const std::vector<const DeviceRecord*>& rows, int queued);
    // A report of `record`, taken while its sender waits.
    void Note(const DeviceRecord& record);
    bool Active() const { return m_active; }
    int Ended() const { return m_ended; }
    int Failed() const { return m_failed; }
    // Ends the batch.
    Summary Finish();

    static bool IsFailure(std::int32_t status);

private:
    enum class Row { Waiting, Acting, Done, Failed };
    std::unordered_map<const DeviceRecord*, Row> m_rows;
    int m_queued = 0;
    int m_ended = 0;
    int m_failed = 0;
    bool m_active = false;
};

}  // namespace tarrowind
