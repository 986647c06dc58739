// Requests from outside to end the program (Ctrl-C, kill, a terminal that
// went away), delivered as an ordinary call on a thread of their own, so
// that a running upgrade can stop at a frame boundary instead of being cut
// off in the middle of a frame.
#pragma once

namespace velloran::platform {

enum class StopSignal {
  kInterrupt,    // SIGINT, Ctrl-C
  kTerminate,    // SIGTERM
  kHangUp,       // SIGHUP; on Windows the console window was closed
  kBrokenPipe,   // SIGPIPE: the output was closed (never delivered, see below)
};

using StopHandler = void (*)(StopSignal);

// From now on every interrupt, termination or hang-up calls onStop on a
// watcher thread (not in a signal handler); onStop decides what a second
// one does (EndAsSignalled ends the process at once). Writing to a closed pipe no longer
// ends the process: the write fails (EPIPE) and the writer decides. Call it
// once, before any other thread starts (POSIX threads inherit the blocked
// signals from the thread that creates them).
void WatchStopSignals(StopHandler onStop);

// Ends the process as the signal ends it by default, so that a shell sees
// 128 + its number (130, 143, 129, 141); on Windows the exit code is that
// number.
[[noreturn]] void EndAsSignalled(StopSignal signal);

// 128 + the signal's number.
int SignalExitStatus(StopSignal signal);

}  // namespace velloran::platform
