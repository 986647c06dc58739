// The prescribed time of each procedure: the end of its schedule.
#include "upgrade_timing.h"

#include <algorithm>

#include "baud_detection.h"
#include "upgrade_schedule.h"

namespace velloran {
namespace {

UpgradeTime EndOf(const std::vector<Milestone> &schedule) {
  UpgradeTime time;
  if (!schedule.empty()) {
    time.pausesMs = schedule.back().pausesMs;
    time.wireMs = schedule.back().wireMs;
  }
  return time;
}

}  // namespace

double ByteWireMs(uint32_t baud) { return 10.0 * 1000.0 / baud; }

UpgradeTime SerialDetectionTime(int ratePosition) {
  // The first detection ends with the line of the rate found.
  const std::vector<Milestone> schedule = SerialSchedule(0, 512, ratePosition);
  const auto found = std::find_if(schedule.begin(), schedule.end(),
                                  [](const Milestone &m) { return std::string_view(m.id) == "baud_found"; });
  return {found->pausesMs, found->wireMs};
}

UpgradeTime UsbUpgradeTime(uint32_t fileSize, uint32_t packetSize) {
  return EndOf(UsbSchedule(fileSize, packetSize));
}

UpgradeTime SerialUpgradeTime(uint32_t fileSize, uint32_t packetSize, int ratePosition) {
  return EndOf(SerialSchedule(fileSize, packetSize, ratePosition));
}

UpgradeTime LptUpgradeTime(uint32_t fileSize) { return EndOf(LptSchedule(fileSize)); }

}  // namespace velloran
