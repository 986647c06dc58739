// The causes of a stop, the signal watcher's decision and the stop's report.
#include "upgrade_interruption.h"

#include <unistd.h>

#include <atomic>
#include <string>

#include "printer_state.h"

namespace velloran::cli {
namespace {

// The first cause as its StopSignal's value; kNoCause when none.
constexpr int kNoCause = -1;
std::atomic<int> g_cause{kNoCause};
std::atomic<bool> g_upgradeRunning{false};
std::atomic<bool> g_stopEndedUpgrade{false};
std::atomic<Language> g_language{Language::kEnglish};

// Written with write(2): the watcher thread must not wait for a stream that
// the upgrade's thread holds (a full pipe, say).
void Say(const Message &message) {
  const std::string line = "velloran-cli: " + message.In(g_language) + "\n";
  // On a terminal the progress bar may stand on the line.
  const std::string text = isatty(STDOUT_FILENO) ? "\n" + line : line;
  ssize_t ignored = write(STDERR_FILENO, text.data(), text.size());
  (void)ignored;
}

void OnStopSignal(StopSignal signal) {
  if (!g_upgradeRunning) platform::EndAsSignalled(signal);
  if (const auto first = UpgradeStopCause()) {
    // A second request ends the program at once, still saying what state
    // the printer is in.
    Say(DescribeStop(*first, ReachedSoFar()).line);
    platform::EndAsSignalled(*first);
  }
  // Said before the request: the upgrade may end, and the process with it,
  // as soon as the request is made.
  if (signal == StopSignal::kInterrupt) Say(CliMessage("stop_asked"));
  StopUpgrade(signal);
}

}  // namespace

bool StopUpgrade(StopSignal cause) {
  // Ctrl-C and SIGTERM are someone's choice: they stop at the next frame
  // boundary. A hang-up or a closed output is no one's: after the erase the
  // upgrade runs to its end (what can no longer be written is dropped).
  // The cause is noted before the request, which may end the upgrade at
  // once: its end must find why.
  const bool chosen = cause == StopSignal::kInterrupt || cause == StopSignal::kTerminate;
  bool firstCause = false;
  const auto note = [&] {
    int none = kNoCause;
    firstCause = g_cause.compare_exchange_strong(none, static_cast<int>(cause));
  };
  if (!chosen) return RequestUpgradeStopBeforeErase(note) && firstCause;
  note();
  RequestUpgradeStop();
  return firstCause;
}

void SetInterruptionLanguage(Language language) { g_language = language; }

std::optional<StopSignal> UpgradeStopCause() {
  const int cause = g_cause;
  if (cause == kNoCause) return std::nullopt;
  return static_cast<StopSignal>(cause);
}

void ResetUpgradeInterruption() {
  g_cause = kNoCause;
  g_stopEndedUpgrade = false;
  ResetUpgradeStop();
}

void WatchForInterruption() { platform::WatchStopSignals(OnStopSignal); }

UpgradeRunning::UpgradeRunning() { g_upgradeRunning = true; }
UpgradeRunning::~UpgradeRunning() { g_upgradeRunning = false; }

StopReport DescribeStop(StopSignal cause, UpgradeReach reach) {
  StopReport report{};
  const char *by = nullptr;
  switch (cause) {
    case StopSignal::kInterrupt: report.reason = "interrupted", by = "stopped_by_sigint"; break;
    case StopSignal::kHangUp: report.reason = "hung_up", by = "stopped_by_sighup"; break;
    case StopSignal::kBrokenPipe: report.reason = "output_closed", by = "stopped_by_closed_output"; break;
    case StopSignal::kTerminate: report.reason = "terminated", by = "stopped_by_sigterm"; break;
  }
  report.exitStatus = platform::SignalExitStatus(cause);
  report.printerState = PrinterStateName(reach);
  report.line = PrinterStateMessage(reach, CliMessage(by));
  return report;
}

void NoteStopEndedUpgrade() { g_stopEndedUpgrade = true; }

void EndLikeTheStop() {
  const auto cause = UpgradeStopCause();
  if (g_stopEndedUpgrade && cause) platform::EndAsSignalled(*cause);
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
