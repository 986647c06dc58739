// Facts of an image and its expected duration.
#include "image_facts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "baud_detection.h"
#include "sha256.h"
#include "upgrade_schedule.h"

namespace velloran::cli {

std::string ImageFacts::VersionText() const {
  char text[8];
  std::snprintf(text, sizeof text, "%02X %02X", version[0], version[1]);
  return text;
}

ImageFacts FactsOf(const std::string &path, const LoadedImage &image) {
  ImageFacts facts;
  facts.path = path;
  facts.size = image.size;
  const ImageHeader header = DescrambleImageHeader(image);
  facts.version[0] = header.bytes[0];
  facts.version[1] = header.bytes[1];
  facts.packets = PacketCount(image.size, facts.packetSize);
  facts.full = FullPacketCount(image.size, facts.packetSize);
  facts.remainder = RemainderLength(image.size, facts.packetSize);
  facts.sha256 = Sha256Hex(image.buffer.get(), image.size);
  return facts;
}

ExpectedDuration ExpectedUpgradeDuration(Link link, uint32_t fileSize) {
  if (link != Link::kSerial) {
    const UpgradeTime time = link == Link::kUsb ? UsbUpgradeTime(fileSize, kAssumedPacketSize) : LptUpgradeTime(fileSize);
    return {time.TotalMs(), time.TotalMs()};
  }
  // The quickest rate with its silent rates at their shortest, the slowest
  // with theirs at their longest.
  ExpectedDuration duration{1e300, 0};
  for (int position = 1; position <= static_cast<int>(std::size(kDetectionRates)); ++position) {
    duration.lowMs = std::min(duration.lowMs, SerialUpgradeTime(fileSize, kAssumedPacketSize, position).TotalMs());
    duration.highMs = std::max(
        duration.highMs, SerialUpgradeTime(fileSize, kAssumedPacketSize, position, kLongestSilentRateMs).TotalMs());
  }
  return duration;
}

Message DurationText(double ms) {
  if (ms < 59950) return CliMessage("duration_seconds", {{"seconds", SecondsText(ms)}});
  const long long seconds = std::llround(ms / 1000);
  if (seconds < 3600) {
    return CliMessage("duration_minutes",
                      {{"minutes", std::to_string(seconds / 60)}, {"seconds", std::to_string(seconds % 60)}});
  }
  const long long minutes = (seconds + 30) / 60;
  return CliMessage("duration_hours",
                    {{"hours", std::to_string(minutes / 60)}, {"minutes", std::to_string(minutes % 60)}});
}

std::string SecondsText(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", ms / 1000.0);
  return text;
}

std::string VerboseLineStart(double ms, int code) {
  char text[48];
  std::snprintf(text, sizeof text, "%7.1f s  %3d  ", ms / 1000.0, code);
  return text;
}

}  // namespace velloran::cli
