// The milestones of each procedure, step by step, and the time they add up to.
#include "upgrade_schedule.h"

#include <algorithm>

#include "baud_detection.h"
#include "frame.h"
#include "image.h"

namespace velloran {
namespace {

using namespace timing;
using S = StatusId;

// Bytes of an exchange on the serial line: the command's frame and its reply.
double ExchangeBytes(uint8_t command, int payload = 0) { return kFrameOverhead + payload + ReplyLength(command); }

// Appends milestones, each a pause and a wire time after the one before.
class ScheduleBuilder {
 public:
  void Add(StatusId line, double pauseMs, double wireMs = 0) { AddRun(line, 1, pauseMs, wireMs); }
  // lines lines of one text, each pauseMs and wireMs after the one before.
  void AddRun(StatusId line, uint32_t lines, double pauseMs, double wireMs) {
    if (lines == 0) return;
    pausesMs_ += pauseMs;
    wireMs_ += wireMs;
    milestones_.push_back({line, *StatusRow(line).phase, pausesMs_, wireMs_, lines, pauseMs, wireMs});
    pausesMs_ += (lines - 1) * pauseMs;
    wireMs_ += (lines - 1) * wireMs;
  }
  // A pause between two milestones (the next one adds its own).
  void Wait(double ms) { pausesMs_ += ms; }
  std::vector<Milestone> Take() { return std::move(milestones_); }

 private:
  double pausesMs_ = 0;
  double wireMs_ = 0;
  std::vector<Milestone> milestones_;
};

void AddDetection(ScheduleBuilder &schedule, int ratePosition, double silentRateMs, double byteMs) {
  schedule.Add(S::kTestingBaudFormat, 0);
  schedule.AddRun(S::kTestingBaudFormat, static_cast<uint32_t>(ratePosition - 1), silentRateMs, 0);
  // Before the probe the preamble's pause; the reply is wire time.
  schedule.Add(S::kBaudFoundFormat, kProbeGapMs, ExchangeBytes(CMD_PROBE) * byteMs);
}

// Boot switch, version check and erase of USB and serial: their lines
// and pauses; byteMs 0 where no byte waits on a line.
void AddBootSwitch(ScheduleBuilder &schedule, double byteMs) {
  schedule.Add(S::kPreparingBoot, 0);
  schedule.Add(S::kBootEntered, kBeforeControlFrameMs, ExchangeBytes(CMD_ENTER_BOOT) * byteMs);
}

void AddVersionCheck(ScheduleBuilder &schedule, double byteMs) {
  schedule.Add(S::kGettingVersion, kBeforeControlFrameMs);
  schedule.Add(S::kVersionMatch, kAfterVersionFrameMs + kBeforeVerdictMs,
               ExchangeBytes(CMD_VERSION, 2) * byteMs);
}

void AddErase(ScheduleBuilder &schedule, StatusId doneId, double verdictPauseMs, double wireMs) {
  schedule.Add(S::kEraseStart, kBeforeControlFrameMs);
  schedule.Add(S::kEraseDots, kEraseDotsMs);
  schedule.Add(doneId, verdictPauseMs, wireMs);
}

void AddFinish(ScheduleBuilder &schedule, StatusId boxId, double wireMs) {
  schedule.Add(S::kUpgradeDone, 0, wireMs);
  schedule.Add(boxId, kBeforeCompletionBoxMs);
}

UpgradeTime EndOf(const std::vector<Milestone> &schedule) {
  if (schedule.empty()) return {};
  const Milestone &last = schedule.back();
  return {last.pausesMs + (last.lines - 1) * last.stepPausesMs, last.wireMs + (last.lines - 1) * last.stepWireMs};
}

// Time of one byte (start bit, 8 data bits, stop bit) at a baud rate.
double ByteWireMs(uint32_t baud) { return 10.0 * 1000.0 / baud; }

}  // namespace

std::vector<Milestone> UsbSchedule(uint32_t fileSize, uint32_t packetSize) {
  ScheduleBuilder schedule;
  AddBootSwitch(schedule, 0);
  schedule.Wait(kAfterFirstBootSwitchMs);
  AddVersionCheck(schedule, 0);
  schedule.Wait(kAfterVersionCheckMs);
  AddBootSwitch(schedule, 0);
  AddErase(schedule, S::kEraseDone, kBeforeVerdictMs, 0);
  schedule.Wait(kUsbAfterEraseMs);
  schedule.AddRun(S::kPacketSentFormat, PacketCount(fileSize, packetSize), kUsbBeforeDataFrameMs, 0);
  AddFinish(schedule, S::kBoxUpgradeComplete, 0);
  return schedule.Take();
}

std::vector<Milestone> SerialSchedule(uint32_t fileSize, uint32_t packetSize, int ratePosition,
                                      double silentRateMs) {
  ratePosition = std::clamp(ratePosition, 1, 6);
  const double byteMs = ByteWireMs(kDetectionRates[ratePosition - 1]);
  ScheduleBuilder schedule;
  AddDetection(schedule, ratePosition, silentRateMs, byteMs);
  AddBootSwitch(schedule, byteMs);
  schedule.Wait(kAfterFirstBootSwitchMs);
  AddDetection(schedule, ratePosition, silentRateMs, byteMs);
  AddBootSwitch(schedule, byteMs);
  AddVersionCheck(schedule, byteMs);
  schedule.Wait(kAfterVersionCheckMs);
  AddErase(schedule, S::kEraseDone, kBeforeVerdictMs, ExchangeBytes(CMD_ERASE) * byteMs);
  schedule.Wait(kSerialAfterEraseMs);
  // The frame and its reply cross the line during the pause after the
  // frame, or take longer.
  const double frameAndReplyMs = (packetSize + ExchangeBytes(CMD_DATA)) * byteMs;
  schedule.AddRun(S::kPacketSentFormat, PacketCount(fileSize, packetSize),
                  kSerialBeforeDataFrameMs + kSerialAfterDataFrameMs + kSerialBeforeReplyReadMs,
                  std::max(0.0, frameAndReplyMs - kSerialAfterDataFrameMs));
  AddFinish(schedule, S::kBoxUpgradeComplete, ExchangeBytes(CMD_FINISH) * byteMs);
  return schedule.Take();
}

std::vector<Milestone> LptSchedule(uint32_t fileSize) {
  ScheduleBuilder schedule;
  schedule.Add(S::kPreparingBoot, 0);
  schedule.Add(S::kBootEntered, kBeforeControlFrameMs);
  schedule.Wait(kLptBetweenBootSwitchesMs);
  schedule.Add(S::kPreparingBoot, 0);
  schedule.Add(S::kLptPacketInfo, kBeforeControlFrameMs);
  schedule.Add(S::kLptCheckingVersion, kBeforeControlFrameMs);
  schedule.Add(S::kLptVersionChecked, kAfterVersionFrameMs);
  schedule.Wait(kAfterVersionCheckMs);
  AddErase(schedule, S::kLptEraseDone, 0, 0);
  schedule.AddRun(S::kPacketSentFormat, PacketCount(fileSize, kLptPacketSize), 0, 0);
  AddFinish(schedule, S::kBoxLptUpgradeComplete, 0);
  return schedule.Take();
}

UpgradeTime UsbUpgradeTime(uint32_t fileSize, uint32_t packetSize) { return EndOf(UsbSchedule(fileSize, packetSize)); }

UpgradeTime SerialUpgradeTime(uint32_t fileSize, uint32_t packetSize, int ratePosition, double silentRateMs) {
  return EndOf(SerialSchedule(fileSize, packetSize, ratePosition, silentRateMs));
}

UpgradeTime LptUpgradeTime(uint32_t fileSize) { return EndOf(LptSchedule(fileSize)); }

UpgradeTime SerialDetectionTime(int ratePosition) {
  // The first detection ends with the line of the rate found.
  const std::vector<Milestone> schedule = SerialSchedule(0, kMaxPacketSize, ratePosition);
  const auto found = std::ranges::find(schedule, S::kBaudFoundFormat, &Milestone::status);
  return {found->pausesMs, found->wireMs};
}

}  // namespace velloran
