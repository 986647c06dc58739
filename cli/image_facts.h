// What an image file holds and how long its upgrade takes, as `info` shows
// it and as the upgrade announces it before the first frame.
#pragma once

#include <cstdint>
#include <string>

#include "cli_options.h"
#include "frame.h"
#include "image.h"
#include "messages.h"

namespace velloran::cli {

inline constexpr uint32_t kAssumedPacketSize = kMaxPacketSize;  // until the printer announces its size

struct ImageFacts {
  std::string path;
  uint32_t size = 0;
  uint8_t version[2] = {};
  uint32_t packetSize = kAssumedPacketSize;
  uint32_t packets = 0;    // full and short ones
  uint32_t full = 0;       // full packets
  uint32_t remainder = 0;  // bytes of the short packet; 0: none
  std::string sha256;      // of the file's bytes, 64 lowercase hex digits
  uint64_t bytesTotal() const { return uint64_t{packets} * packetSize; }
  std::string VersionText() const;  // "04 00"
};

ImageFacts FactsOf(const std::string &path, const LoadedImage &image);

// The expected duration on a link by the prescribed pauses; on the serial
// link the quickest and the slowest of the detection rates.
struct ExpectedDuration {
  double lowMs = 0;
  double highMs = 0;
};
ExpectedDuration ExpectedUpgradeDuration(Link link, uint32_t fileSize);

// Milliseconds as seconds with one decimal: "14.2".
std::string SecondsText(double ms);
// A verbose status line's start: its time and progress value, "   12.3 s  120  ".
std::string VerboseLineStart(double ms, int code);

// A duration as a reader takes it in: "14.2 s" below a minute, "12 min 5 s"
// below an hour, "5 h 26 min" beyond.
Message DurationText(double ms);

}  // namespace velloran::cli
