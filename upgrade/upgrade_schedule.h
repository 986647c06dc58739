// When each status line of a successful upgrade comes, counted from the
// first one, by the pauses that the procedures prescribe and (serial) the
// time the bytes need on the line where the procedure waits for them. A
// front end follows a running upgrade along it for its remaining time;
// upgrade_timing.h sums it up.
#pragma once

#include <cstdint>
#include <vector>

#include "status_meaning.h"

namespace velloran {

struct Milestone {
  const char *id;  // the status line's id (status_meaning.h)
  UpgradePhase phase;
  double pausesMs;  // since the start: prescribed pauses and reply windows
  double wireMs;    // since the start: bytes on the line
  double AtMs() const { return pausesMs + wireMs; }
};

// A detection rate without a printer: 10 ms after the preamble, then reads
// of 500 ms each (the port's read time-out) started while less than 501 ms
// have passed: two of them (three when the first ends right at 500 ms).
inline constexpr double kSilentRateMs = 10 + 2 * 500;

// The last milestone is the closing message box, the end of the run.
std::vector<Milestone> UsbSchedule(uint32_t fileSize, uint32_t packetSize);
// The printer at position ratePosition (1 … 6) of the detection list,
// answering at once.
std::vector<Milestone> SerialSchedule(uint32_t fileSize, uint32_t packetSize, int ratePosition);
// The pauses only: the data frames go as fast as the printer takes them.
std::vector<Milestone> LptSchedule(uint32_t fileSize);

}  // namespace velloran
