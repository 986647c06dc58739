// The milestones of each procedure, step by step.
#include "upgrade_schedule.h"

#include <algorithm>

#include "baud_detection.h"
#include "image.h"
#include "upgrade_timing.h"

namespace velloran {
namespace {

constexpr double kFoundRateMs = 10;  // before the probe; the reply is wire time
constexpr uint32_t kProbeBytes = 9 + 9;

// Appends milestones, each a pause and a wire time after the one before.
class ScheduleBuilder {
 public:
  void Add(const char *id, UpgradePhase phase, double pauseMs, double wireMs = 0) {
    pausesMs_ += pauseMs;
    wireMs_ += wireMs;
    milestones_.push_back({id, phase, pausesMs_, wireMs_});
  }
  // A pause between two milestones (the next one adds its own).
  void Wait(double ms) { pausesMs_ += ms; }
  std::vector<Milestone> Take() { return std::move(milestones_); }

 private:
  double pausesMs_ = 0;
  double wireMs_ = 0;
  std::vector<Milestone> milestones_;
};

using P = UpgradePhase;

void AddDetection(ScheduleBuilder &schedule, int ratePosition, double byteMs) {
  for (int position = 1; position <= ratePosition; ++position) {
    schedule.Add("testing_baud", P::kDetect, position == 1 ? 0 : kSilentRateMs);
  }
  schedule.Add("baud_found", P::kDetect, kFoundRateMs, kProbeBytes * byteMs);
}

// Boot switch, version check and erase of USB and serial: their lines
// and pauses; wire is the bytes of each exchange.
void AddBootSwitch(ScheduleBuilder &schedule, double wireMs) {
  schedule.Add("preparing_boot", P::kBoot, 0);
  schedule.Add("boot_entered", P::kBoot, 200, wireMs);
}

void AddVersionCheck(ScheduleBuilder &schedule, double wireMs) {
  schedule.Add("checking_version", P::kVersion, 200);
  schedule.Add("version_match", P::kVersion, 500 + 100, wireMs);
}

void AddErase(ScheduleBuilder &schedule, const char *doneId, double verdictPauseMs, double wireMs) {
  schedule.Add("erasing", P::kErase, 200);
  schedule.Add("erasing_wait", P::kErase, 500);
  schedule.Add(doneId, P::kErase, verdictPauseMs, wireMs);
}

void AddPackets(ScheduleBuilder &schedule, uint32_t packets, double pauseMs, double wireMs) {
  for (uint32_t packet = 1; packet <= packets; ++packet) schedule.Add("packet_sent", P::kData, pauseMs, wireMs);
}

void AddFinish(ScheduleBuilder &schedule, const char *boxId, double wireMs) {
  schedule.Add("upgrade_done", P::kFinish, 0, wireMs);
  schedule.Add(boxId, P::kFinish, 100);
}

}  // namespace

std::vector<Milestone> UsbSchedule(uint32_t fileSize, uint32_t packetSize) {
  ScheduleBuilder schedule;
  AddBootSwitch(schedule, 0);
  schedule.Wait(3000);
  AddVersionCheck(schedule, 0);
  schedule.Wait(1000);
  AddBootSwitch(schedule, 0);
  AddErase(schedule, "erase_done", 100, 0);
  schedule.Wait(2000);
  AddPackets(schedule, PacketCount(fileSize, packetSize), 100, 0);
  AddFinish(schedule, "box_upgrade_complete", 0);
  return schedule.Take();
}

std::vector<Milestone> SerialSchedule(uint32_t fileSize, uint32_t packetSize, int ratePosition) {
  ratePosition = std::clamp(ratePosition, 1, 6);
  const double byteMs = ByteWireMs(kDetectionRates[ratePosition - 1]);
  ScheduleBuilder schedule;
  AddDetection(schedule, ratePosition, byteMs);
  AddBootSwitch(schedule, (9 + 12) * byteMs);
  schedule.Wait(3000);
  AddDetection(schedule, ratePosition, byteMs);
  AddBootSwitch(schedule, (9 + 12) * byteMs);
  AddVersionCheck(schedule, (11 + 11) * byteMs);
  schedule.Wait(1000);
  AddErase(schedule, "erase_done", 100, (9 + 9) * byteMs);
  schedule.Wait(1000);
  // Before each data frame 10 ms; after it 100 ms (the frame and its reply
  // cross the line meanwhile, or take longer), then 10 ms before the read.
  const double frameAndReplyMs = (packetSize + 9 + 9) * byteMs;
  AddPackets(schedule, PacketCount(fileSize, packetSize), 10 + 100 + 10, std::max(0.0, frameAndReplyMs - 100));
  AddFinish(schedule, "box_upgrade_complete", (9 + 9) * byteMs);
  return schedule.Take();
}

std::vector<Milestone> LptSchedule(uint32_t fileSize) {
  ScheduleBuilder schedule;
  schedule.Add("preparing_boot", P::kBoot, 0);
  schedule.Add("boot_entered", P::kBoot, 200);
  schedule.Wait(2000);
  schedule.Add("preparing_boot", P::kBoot, 0);
  schedule.Add("lpt_packet_size", P::kBoot, 200);
  schedule.Add("lpt_sending_version", P::kVersion, 200);
  schedule.Add("lpt_version_sent", P::kVersion, 500);
  schedule.Wait(1000);
  AddErase(schedule, "lpt_erase_sent", 0, 0);
  AddPackets(schedule, PacketCount(fileSize, 512), 0, 0);
  AddFinish(schedule, "box_lpt_upgrade_complete", 0);
  return schedule.Take();
}

}  // namespace velloran
