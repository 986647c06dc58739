// Stopping an upgrade from outside (Ctrl-C, SIGTERM, SIGHUP, a closed
// output): what asked for the stop, and the one line that tells the user
// what state the printer is left in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "messages.h"
#include "stop_signals.h"
#include "upgrade_stop.h"

namespace velloran::cli {

// What asked for a stop: the signal itself (a closed output is kBrokenPipe).
using platform::StopSignal;

// Records the cause (the first one counts) and asks the running procedure to
// stop at its next frame boundary. A hang-up or a closed output does so only
// before the erase; after it the upgrade runs to its end. True when this call
// recorded the first cause.
bool StopUpgrade(StopSignal cause);
// The first cause recorded since the last reset; nullopt when none.
std::optional<StopSignal> UpgradeStopCause();

// Clears the cause and the procedures' stop request before an upgrade.
void ResetUpgradeInterruption();

// The language of the lines said on the signal watcher's thread.
void SetInterruptionLanguage(Language language);

// Called by main before anything else: while an upgrade runs (see
// UpgradeRunning), the signals stop it (the first Ctrl-C is answered with a
// line at once); a second one after a stop ends the program at once, with
// the line on the printer's state; with no upgrade running they end the
// program at once, as they do by default.
void WatchForInterruption();

// Marks the span in which a signal stops the upgrade instead of ending the
// program.
class UpgradeRunning {
 public:
  UpgradeRunning();
  ~UpgradeRunning();
  UpgradeRunning(const UpgradeRunning &) = delete;
  UpgradeRunning &operator=(const UpgradeRunning &) = delete;
};

struct StopReport {
  const char *reason;        // the result's reason id: interrupted, terminated, hung_up, output_closed
  const char *printerState;  // unchanged, boot_mode, flash_written
  Message line;              // the sentence for the user: the printer's state
  int exitStatus;            // 128 + the signal's number
};

StopReport DescribeStop(StopSignal cause, UpgradeReach reach);

// "unchanged", "boot_mode", "flash_written": the printer's state by how far
// the upgrade got, as the JSON results name it.
const char *PrinterStateName(UpgradeReach reach);
// The reach a state name stands for; nullopt for a name that is none of them.
std::optional<UpgradeReach> ReachNamed(std::string_view name);

// After a failure (not a stop): the printer's state on PORT and the next
// step, by how far the upgrade got; PACKET is the last one the printer took.
Message FailedPrinterState(UpgradeReach reach, const std::string &port, uint32_t packet);

// Records that a stop ended the upgrade: main then ends the program the way
// the signal would have (EndLikeTheStop).
void NoteStopEndedUpgrade();

// Called by main after the command: when a stop ended the upgrade, ends the
// process as its signal does (a shell sees 130, 143, 129 or 141); returns
// otherwise.
void EndLikeTheStop();

}  // namespace velloran::cli
