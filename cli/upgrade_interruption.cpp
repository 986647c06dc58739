// The causes of a stop, the signal watcher's decision and the stop's report.
#include "upgrade_interruption.h"

#include <atomic>

#include "stop_signals.h"

namespace velloran::cli {
namespace {

std::atomic<StopCause> g_cause{StopCause::kNone};
std::atomic<bool> g_upgradeRunning{false};
std::atomic<bool> g_stopEndedUpgrade{false};

platform::StopSignal SignalOf(StopCause cause) {
  switch (cause) {
    case StopCause::kInterrupt: return platform::StopSignal::kInterrupt;
    case StopCause::kHangUp: return platform::StopSignal::kHangUp;
    case StopCause::kOutputClosed: return platform::StopSignal::kBrokenPipe;
    default: return platform::StopSignal::kTerminate;
  }
}

StopCause CauseOf(platform::StopSignal signal) {
  switch (signal) {
    case platform::StopSignal::kInterrupt: return StopCause::kInterrupt;
    case platform::StopSignal::kHangUp: return StopCause::kHangUp;
    case platform::StopSignal::kBrokenPipe: return StopCause::kOutputClosed;
    case platform::StopSignal::kTerminate: break;
  }
  return StopCause::kTerminate;
}

void OnStopSignal(platform::StopSignal signal) {
  if (!g_upgradeRunning) platform::EndAsSignalled(signal);
  StopUpgrade(CauseOf(signal));
}

}  // namespace

void StopUpgrade(StopCause cause) {
  StopCause none = StopCause::kNone;
  g_cause.compare_exchange_strong(none, cause);
  RequestUpgradeStop();
}

StopCause UpgradeStopCause() { return g_cause; }

void ResetUpgradeInterruption() {
  g_cause = StopCause::kNone;
  g_stopEndedUpgrade = false;
  ResetUpgradeStop();
}

void WatchForInterruption() { platform::WatchStopSignals(OnStopSignal); }

UpgradeRunning::UpgradeRunning() { g_upgradeRunning = true; }
UpgradeRunning::~UpgradeRunning() { g_upgradeRunning = false; }

StopReport DescribeStop(StopCause cause, UpgradeReach reach) {
  StopReport report{};
  const char *by = nullptr;
  switch (cause) {
    case StopCause::kInterrupt: report.reason = "interrupted", by = "stopped_by_sigint"; break;
    case StopCause::kHangUp: report.reason = "hung_up", by = "stopped_by_sighup"; break;
    case StopCause::kOutputClosed: report.reason = "output_closed", by = "stopped_by_closed_output"; break;
    default: report.reason = "terminated", by = "stopped_by_sigterm"; break;
  }
  report.exitStatus = platform::SignalExitStatus(SignalOf(cause));
  const char *state = nullptr;
  switch (reach) {
    case UpgradeReach::kNothingSent: report.printerState = "unchanged", state = "stopped_nothing_sent"; break;
    case UpgradeReach::kBootMode: report.printerState = "boot_mode", state = "stopped_before_erase"; break;
    case UpgradeReach::kFlash: report.printerState = "flash_written", state = "stopped_after_erase"; break;
  }
  report.line = CliMessage(state, {{"cause", CliMessage(by)}});
  return report;
}

void NoteStopEndedUpgrade() { g_stopEndedUpgrade = true; }

void EndLikeTheStop() {
  if (!g_stopEndedUpgrade) return;
  platform::EndAsSignalled(SignalOf(g_cause));
}

}  // namespace velloran::cli
