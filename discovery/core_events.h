#pragma once

#include "discovery/device_record.h"

namespace tarrowind {

enum class SearchState : int {
    Ended = 0,
    Started = 1,
    Countdown = 2,
};

// What the core tells the window side. Each call is synchronous on the sending thread (the search
// thread or a worker): a record handed in is valid only during the call, and a receiver must never wait
// for the sender while it handles one.
class CoreEvents {
public:
    virtual ~CoreEvents() = default;
    // Started with the search length in seconds, Countdown with the seconds left, Ended with 0.
    virtual void OnSearchState(SearchState state, int seconds) { (void)state, (void)seconds; }
    // A module heard for the first time in this search; the receiver keeps its own copy.
    virtual void OnModuleFound(const DeviceRecord& record) { (void)record; }
    // A module reported with an unconfirmed address answered again from the address it names: the
    // receiver replaces its copy of the record with the same `macText` by this one. An impostor that
    // answered first never keeps the real module out of the list.
    virtual void OnModuleConfirmed(const DeviceRecord& record) { (void)record; }
    // The action, status or progress of the record changed.
    virtual void OnReport(DeviceRecord& record) { (void)record; }
    // Once per search (and so per manager): the system refused this process a static neighbour entry (a
    // normal user's right does not reach that far), so the modules are reached without them from now on.
    virtual void OnNeighbourEntriesRefused() {}
};

}  // namespace tarrowind

namespace tarrowind {

// Tells the record's report window that its action, status or progress changed.
inline void Report(DeviceRecord& record)
{
    if (record.reportWindow != nullptr) {
        record.reportWindow->OnReport(record);
    }
}

}  // namespace tarrowind
