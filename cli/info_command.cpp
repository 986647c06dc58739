// velloran-cli info: what an image holds and how long its upgrade takes.
#include <cstdio>
#include <string>

#include "baud_detection.h"
#include "commands.h"
#include "image_facts.h"
#include "printable_text.h"
#include "upgrade_schedule.h"

namespace velloran::cli {

int RunInfo(const CliOptions &options, std::ostream &out, std::ostream &err) {
  const ImageLoadResult loaded = LoadImageFile(options.image);
  if (!loaded.ok()) {
    err << "velloran-cli: " << PrintableText(options.image) << ": " << loaded.cause << " (" << loaded.error << ")\n";
    return kExitFailed;
  }
  const ImageFacts facts = FactsOf(options.image, loaded.image);
  const uint32_t size = facts.size;

  char line[200];
  out << "image:    " << PrintableText(options.image) << "\n";
  std::snprintf(line, sizeof line, "size:     %u bytes (8-byte header, %u bytes of data)\n", size, size - 8);
  out << line;
  out << "version:  " << facts.VersionText() << "\n";
  out << "sha256:   " << facts.sha256 << "\n";
  std::snprintf(line, sizeof line, "packets:  %u of %u bytes", facts.packets, facts.packetSize);
  out << line;
  if (facts.remainder != 0) {
    std::snprintf(line, sizeof line, " (%u full, the last %u bytes zero-filled)", facts.full, facts.remainder);
    out << line;
  }
  out << "\n";
  out << "upgrade time, by the pauses the procedures prescribe (the printer's answers add to it):\n";
  out << "  usb:     " << SecondsText(UsbUpgradeTime(size, facts.packetSize).TotalMs()) << " s\n";
  int position = 0;
  for (DWORD rate : kDetectionRates) {
    ++position;
    std::snprintf(line, sizeof line, "  serial:  %s s with the printer at %u baud\n",
                  SecondsText(SerialUpgradeTime(size, facts.packetSize, position).TotalMs()).c_str(),
                  static_cast<unsigned>(rate));
    out << line;
  }
  out << "  lpt:     " << SecondsText(LptUpgradeTime(size).TotalMs())
      << " s and the time the printer takes to accept the data\n";
  return kExitOk;
}

}  // namespace velloran::cli
