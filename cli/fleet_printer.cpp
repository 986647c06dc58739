// A fleet printer's progress between its events.
#include "fleet_printer.h"

#include <algorithm>

namespace velloran::cli {

double FleetPrinter::RemainingMs(std::chrono::steady_clock::time_point now) const {
  if (Finished() || outcome == FleetOutcome::kPending) return 0;
  const double since = std::chrono::duration<double, std::milli>(now - lastEvent).count();
  return std::max(0.0, etaMs - since);
}

double FleetPrinter::Fraction(std::chrono::steady_clock::time_point now) const {
  if (outcome == FleetOutcome::kCompleted) return 1;
  if (outcome == FleetOutcome::kPending) return 0;
  const double since = Finished() ? 0 : std::chrono::duration<double, std::milli>(now - lastEvent).count();
  const double done = elapsedMs + std::min(since, etaMs);
  const double whole = elapsedMs + etaMs;
  return whole > 0 ? std::clamp(done / whole, 0.0, 1.0) : 0;
}

const char *OutcomeName(FleetOutcome outcome) {
  switch (outcome) {
    case FleetOutcome::kPending: return "pending";
    case FleetOutcome::kRunning: return "running";
    case FleetOutcome::kCompleted: return "completed";
    case FleetOutcome::kFailed: return "failed";
    case FleetOutcome::kStopped: return "stopped";
  }
  return "?";
}

}  // namespace velloran::cli
