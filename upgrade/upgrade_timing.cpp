// The prescribed pauses of each procedure, step by step.
#include "upgrade_timing.h"

#include <algorithm>

#include "baud_detection.h"
#include "image.h"

namespace velloran {
namespace {

// A detection rate without a printer: 10 ms after the preamble, then reads
// of 500 ms each (the port's read time-out) started while less than 501 ms
// have passed: two of them.
constexpr double kSilentRateMs = 10 + 2 * 500;
constexpr double kFoundRateMs = 10;  // before the probe; the reply is wire time
constexpr uint32_t kProbeBytes = 9 + 9;

double DetectionPauses(int ratePosition) { return (ratePosition - 1) * kSilentRateMs + kFoundRateMs; }

}  // namespace

UpgradeTime SerialDetectionTime(int ratePosition) {
  ratePosition = std::clamp(ratePosition, 1, 6);
  UpgradeTime time;
  time.pausesMs = DetectionPauses(ratePosition);
  time.wireMs = kProbeBytes * ByteWireMs(kDetectionRates[ratePosition - 1]);
  return time;
}

double ByteWireMs(uint32_t baud) { return 10.0 * 1000.0 / baud; }

UpgradeTime UsbUpgradeTime(uint32_t fileSize, uint32_t packetSize) {
  UpgradeTime time;
  const double boot = 200;                 // each boot switch
  const double version = 200 + 500 + 100;  // open pause, line to frame, before the verdict
  const double erase = 200 + 500 + 100;
  time.pausesMs = boot + 3000 + version + 1000 + boot + erase + 2000 +
                  100.0 * PacketCount(fileSize, packetSize) + 100;
  return time;
}

UpgradeTime SerialUpgradeTime(uint32_t fileSize, uint32_t packetSize, int ratePosition) {
  ratePosition = std::clamp(ratePosition, 1, 6);
  const double byteMs = ByteWireMs(kDetectionRates[ratePosition - 1]);
  const uint32_t packets = PacketCount(fileSize, packetSize);
  UpgradeTime time;
  const double detection = DetectionPauses(ratePosition);
  const double version = 200 + 500 + 100;
  const double erase = 200 + 500 + 100;
  // Before each data frame 10 ms; after it 100 ms (the frame and its reply
  // cross the line meanwhile, or take longer), then 10 ms before the read.
  const double frameAndReplyMs = (packetSize + 9 + 9) * byteMs;
  const double perPacketPause = 10 + 100 + 10;
  const double perPacketWire = std::max(0.0, frameAndReplyMs - 100);
  time.pausesMs = detection + 200 + 3000 + detection + 200 + version + 1000 + erase + 1000 +
                  perPacketPause * packets + 100;
  const uint32_t controlBytes = 2 * kProbeBytes + 2 * (9 + 12) + (11 + 11) + (9 + 9) + (9 + 9);
  time.wireMs = controlBytes * byteMs + perPacketWire * packets;
  return time;
}

UpgradeTime LptUpgradeTime(uint32_t fileSize) {
  (void)fileSize;  // data frames follow each other without a pause
  UpgradeTime time;
  time.pausesMs = 200 + 2000 + 200 + (200 + 500) + 1000 + (200 + 500) + 100;
  return time;
}

}  // namespace velloran
