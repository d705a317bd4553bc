#pragma once

namespace tarrowind {

// The window's side of being told to end (SIGTERM, SIGINT, SIGHUP): the signals are turned into bytes
// on a descriptor that the window's own event loop watches, so that it acts on them in its own thread.
// Windows tells a desktop program to end through its window messages instead, which Qt turns into the
// session's end: there is nothing to watch there.

// Starts catching the signals; returns the descriptor that turns readable at each one, or -1 when
// nothing is to be watched.
int CatchTerminationSignals();
// Takes one signal's byte off the descriptor.
void ConsumeTerminationSignal();
// From now on a signal ends the process as it would have without the window.
void ReleaseTerminationSignals();

}  // namespace tarrowind
