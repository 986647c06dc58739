// How long an upgrade takes and when each status line of a successful one
// comes, counted from the first one: the pauses that the procedures prescribe
// (procedure_timing.h) and (serial) the time the bytes need on the line where
// the procedure waits for them. A front end follows a running upgrade along
// the schedule for its remaining time; the totals are the command-line tool's
// estimate and the benchmark's floor.
#pragma once

#include <cstdint>
#include <vector>

#include "procedure_timing.h"
#include "status_meaning.h"

namespace velloran {

// One status line of the schedule, or a run of lines of the same text (the
// data packets), each the same time after the one before.
struct Milestone {
  StatusId status;
  UpgradePhase phase;  // the line's own (status_meaning.h)
  double pausesMs;  // since the start, at the first line: prescribed pauses and reply windows
  double wireMs;    // since the start, at the first line: bytes on the line
  uint32_t lines = 1;
  double stepPausesMs = 0;  // from one line of the run to the next
  double stepWireMs = 0;
  // When line k (from 0) of the run comes.
  double AtMs(uint32_t k = 0) const { return pausesMs + wireMs + k * (stepPausesMs + stepWireMs); }
  double LastAtMs() const { return AtMs(lines - 1); }
};

// A detection rate without a printer: the pause after the preamble, then
// reads of 500 ms each (the port's read time-out) started while less than
// 501 ms have passed: two of them, or three when the second starts right at
// 500 ms. The longest is what an estimate's upper end counts.
inline constexpr double kSilentRateMs = timing::kProbeGapMs + 2.0 * timing::kSerialReadTimeoutMs;
inline constexpr double kLongestSilentRateMs = timing::kProbeGapMs + 3.0 * timing::kSerialReadTimeoutMs;

// The schedules; the last milestone is the closing message box, the end of
// the run.
std::vector<Milestone> UsbSchedule(uint32_t fileSize, uint32_t packetSize);
// The printer at position ratePosition (1 … 6) of the detection list,
// answering at once, each silent rate before it taking silentRateMs.
std::vector<Milestone> SerialSchedule(uint32_t fileSize, uint32_t packetSize, int ratePosition,
                                      double silentRateMs = kSilentRateMs);
// The pauses only: the data frames go as fast as the printer takes them.
std::vector<Milestone> LptSchedule(uint32_t fileSize);

struct UpgradeTime {
  double pausesMs = 0;  // sleeps and reply windows that nothing can shorten
  double wireMs = 0;    // bytes on the line that the procedure waits for
  double TotalMs() const { return pausesMs + wireMs; }
};

// The end of each schedule.
UpgradeTime UsbUpgradeTime(uint32_t fileSize, uint32_t packetSize);
UpgradeTime SerialUpgradeTime(uint32_t fileSize, uint32_t packetSize, int ratePosition,
                              double silentRateMs = kSilentRateMs);
UpgradeTime LptUpgradeTime(uint32_t fileSize);

// One detection of the serial procedure finding the printer at ratePosition.
UpgradeTime SerialDetectionTime(int ratePosition);

}  // namespace velloran
