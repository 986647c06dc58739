// The causes of a stop, the signal watcher's decision and the stop's report.
#include "upgrade_interruption.h"

#include <unistd.h>

#include <atomic>
#include <string>

#include "stop_signals.h"

namespace velloran::cli {
namespace {

std::atomic<StopCause> g_cause{StopCause::kNone};
std::atomic<bool> g_upgradeRunning{false};
std::atomic<bool> g_stopEndedUpgrade{false};
std::atomic<Language> g_language{Language::kEnglish};

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

// Written with write(2): the watcher thread must not wait for a stream that
// the upgrade's thread holds (a full pipe, say).
void Say(const Message &message) {
  const std::string line = "velloran-cli: " + message.In(g_language) + "\n";
  // On a terminal the progress bar may stand on the line.
  const std::string text = isatty(STDOUT_FILENO) ? "\n" + line : line;
  ssize_t ignored = write(STDERR_FILENO, text.data(), text.size());
  (void)ignored;
}

void OnStopSignal(platform::StopSignal signal) {
  if (!g_upgradeRunning) platform::EndAsSignalled(signal);
  const StopCause first = g_cause;
  if (first != StopCause::kNone) {
    // A second request ends the program at once, still saying what state
    // the printer is in.
    Say(DescribeStop(first, ReachedSoFar()).line);
    platform::EndAsSignalled(SignalOf(first));
  }
  if (StopUpgrade(CauseOf(signal)) && signal == platform::StopSignal::kInterrupt) Say(CliMessage("stop_asked"));
}

}  // namespace

bool StopUpgrade(StopCause cause) {
  // Ctrl-C and SIGTERM are someone's choice: they stop at the next frame
  // boundary. A hang-up or a closed output is no one's: after the erase the
  // upgrade runs to its end (what can no longer be written is dropped).
  const bool chosen = cause == StopCause::kInterrupt || cause == StopCause::kTerminate;
  if (!chosen && !RequestUpgradeStopBeforeErase()) return false;
  StopCause none = StopCause::kNone;
  const bool firstCause = g_cause.compare_exchange_strong(none, cause);
  if (chosen) RequestUpgradeStop();
  return firstCause;
}

void SetInterruptionLanguage(Language language) { g_language = language; }

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
    case UpgradeReach::kNothingSent: state = "stopped_nothing_sent"; break;
    case UpgradeReach::kBootMode: state = "stopped_before_erase"; break;
    case UpgradeReach::kFlash: state = "stopped_after_erase"; break;
  }
  report.printerState = PrinterStateName(reach);
  report.line = CliMessage(state, {{"cause", CliMessage(by)}});
  return report;
}

void NoteStopEndedUpgrade() { g_stopEndedUpgrade = true; }

void EndLikeTheStop() {
  if (!g_stopEndedUpgrade) return;
  platform::EndAsSignalled(SignalOf(g_cause));
}

const char *PrinterStateName(UpgradeReach reach) {
  switch (reach) {
    case UpgradeReach::kNothingSent: return "unchanged";
    case UpgradeReach::kBootMode: return "boot_mode";
    case UpgradeReach::kFlash: break;
  }
  return "flash_written";
}

std::optional<UpgradeReach> ReachNamed(std::string_view name) {
  for (const UpgradeReach reach : {UpgradeReach::kNothingSent, UpgradeReach::kBootMode, UpgradeReach::kFlash})
    if (name == PrinterStateName(reach)) return reach;
  return std::nullopt;
}

// The printer's state after a failure and what to do, by how far the
// upgrade got.
Message FailedPrinterState(UpgradeReach reach, const std::string &port, uint32_t packet) {
  switch (reach) {
    case UpgradeReach::kNothingSent: return CliMessage("failed_nothing_changed", {{"port", port}});
    case UpgradeReach::kBootMode: return CliMessage("failed_in_boot_mode", {{"port", port}});
    case UpgradeReach::kFlash: break;
  }
  return CliMessage("failed_flash_written", {{"port", port}, {"packet", std::to_string(packet)}});
}

}  // namespace velloran::cli
