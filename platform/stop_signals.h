#pragma once

#include <functional>

namespace tarrowind {

// A command-line run that is told to end (interrupt, termination, hang-up; Ctrl+C or a closed console
// on Windows) stops its work and cleans up instead of dying on the spot. A closed output pipe is no
// signal at all: the run sees the failed write and calls RequestStop itself.

// The exit codes of a stopped run, as a shell reports a process ended by that signal.
inline constexpr int kExitInterrupted = 130;   // SIGINT, Ctrl+C
inline constexpr int kExitTerminated = 143;    // SIGTERM, the console closed
inline constexpr int kExitHungUp = 129;        // SIGHUP
inline constexpr int kExitOutputClosed = 141;  // standard output is a pipe nobody reads any more

// From now on those signals are taken by a watcher thread of their own. Call before any other thread
// starts, so that every thread inherits the blocked signals.
void CatchStopSignals();
// Ends the watcher (at the end of main).
void ReleaseStopSignals();
// `onStop` runs once, on the watcher's thread or the caller of RequestStop, at the first stop; a stop
// already requested runs it at once. While none is set (nothing to clean up yet, e.g. while a password is
// read) a signal ends the process as it would have without the watcher. An empty one removes it,
// waiting for a call under way to end.
void SetStopHandler(std::function<void()> onStop);
// Stops the run with `exitCode`; later requests keep the first code. False when no handler is set.
bool RequestStop(int exitCode);
// 0 while no stop was requested.
int StopExitCode();

}  // namespace tarrowind
