// Stop requests on Windows: the console's control events, which the system
// already delivers on a thread of their own. The exit codes are the POSIX
// statuses, so scripts see the same numbers on both systems.
#include "stop_signals.h"

#include <windows.h>

namespace velloran::platform {
namespace {

StopHandler g_onStop = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
  const StopSignal signal = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? StopSignal::kInterrupt
                            : event == CTRL_CLOSE_EVENT                         ? StopSignal::kHangUp
                                                                                : StopSignal::kTerminate;
  g_onStop(signal);
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  // Closing, log-off and shut-down end the process once this handler
  // returns: give the upgrade the time the system allows to stop cleanly.
  Sleep(INFINITE);
  return TRUE;
}

}  // namespace

void WatchStopSignals(StopHandler onStop) {
  g_onStop = onStop;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void EndAsSignalled(StopSignal signal) { ExitProcess(static_cast<UINT>(SignalExitStatus(signal))); }

int SignalExitStatus(StopSignal signal) {
  switch (signal) {
    case StopSignal::kInterrupt: return 130;
    case StopSignal::kTerminate: return 143;
    case StopSignal::kHangUp: return 129;
    case StopSignal::kBrokenPipe: return 141;
  }
  return 143;
}

}  // namespace velloran::platform
