// velloran-cli info: what an image holds and how long its upgrade takes.
#include <cstdio>
#include <string>

#include "baud_detection.h"
#include "commands.h"
#include "image.h"
#include "upgrade_timing.h"

namespace velloran::cli {
namespace {

constexpr uint32_t kPacketSize = 512;

std::string Seconds(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
  return text;
}

}  // namespace

int RunInfo(const CliOptions &options, std::ostream &out, std::ostream &err) {
  const ImageLoadResult loaded = LoadImageFile(options.image);
  if (!loaded.ok()) {
    err << "velloran-cli: " << options.image << ": " << loaded.cause << " (" << loaded.error << ")\n";
    return kExitFailed;
  }
  const LoadedImage &image = loaded.image;
  const ImageHeader header = DescrambleImageHeader(image);
  const uint32_t full = FullPacketCount(image.size, kPacketSize);
  const uint32_t remainder = RemainderLength(image.size, kPacketSize);

  char line[200];
  out << "image:    " << options.image << "\n";
  std::snprintf(line, sizeof line, "size:     %u bytes (8-byte header, %u bytes of data)\n", image.size,
                image.size - 8);
  out << line;
  std::snprintf(line, sizeof line, "version:  %02X %02X\n", header.bytes[0], header.bytes[1]);
  out << line;
  std::snprintf(line, sizeof line, "packets:  %u of %u bytes", PacketCount(image.size, kPacketSize),
                kPacketSize);
  out << line;
  if (remainder != 0) {
    std::snprintf(line, sizeof line, " (%u full, the last %u bytes zero-filled)", full, remainder);
    out << line;
  }
  out << "\n";
  out << "upgrade time, by the pauses the procedures prescribe (the printer's answers add to it):\n";
  out << "  usb:     " << Seconds(UsbUpgradeTime(image.size, kPacketSize).TotalMs()) << "\n";
  int position = 0;
  for (DWORD rate : kDetectionRates) {
    ++position;
    std::snprintf(line, sizeof line, "  serial:  %s with the printer at %u baud\n",
                  Seconds(SerialUpgradeTime(image.size, kPacketSize, position).TotalMs()).c_str(),
                  static_cast<unsigned>(rate));
    out << line;
  }
  out << "  lpt:     " << Seconds(LptUpgradeTime(image.size).TotalMs())
      << " and the time the printer takes to accept the data\n";
  return kExitOk;
}

}  // namespace velloran::cli
