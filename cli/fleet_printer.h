// One printer of a fleet as the supervisor follows it: what its worker's
// events said, and how its upgrade ended.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "json_output.h"
#include "status_meaning.h"

namespace velloran::cli {

enum class FleetOutcome { kPending, kRunning, kCompleted, kFailed, kStopped };

struct FleetPrinter {
  std::string target;  // its id
  std::string port;    // --port as given
  std::string node;
  std::string serialNumber;  // USB: as the printer reports it, else empty
  // While it runs.
  FleetOutcome outcome = FleetOutcome::kPending;
  UpgradePhase phase = UpgradePhase::kPrepare;
  UpgradePhase furthest = UpgradePhase::kPrepare;  // the furthest phase reached
  int band = -1;
  double elapsedMs = 0, etaMs = 0;  // of its last event
  std::chrono::steady_clock::time_point lastEvent, started;
  std::chrono::system_clock::time_point startedAt, endedAt;
  // Its end: the worker's result event, or what the supervisor knows.
  std::optional<Json> result;
  std::string reason;   // empty: none
  std::string printerState;  // unchanged, boot_mode, flash_written; empty: not known
  unsigned long long packet = 0, bytesSent = 0, bytesTotal = 0;
  long long durationMs = 0;
  std::string zh, en;  // its closing line

  bool Finished() const { return outcome >= FleetOutcome::kCompleted; }
  // 0 … 1 by its last event's time left, moved on by the time since.
  double Fraction(std::chrono::steady_clock::time_point now) const;
  double RemainingMs(std::chrono::steady_clock::time_point now) const;
};

// "completed", "failed", "stopped" ("pending", "running" before the end).
const char *OutcomeName(FleetOutcome outcome);

}  // namespace velloran::cli
