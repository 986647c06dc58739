// velloran-cli info: what an image holds and how long its upgrade takes, in
// the reader's language or as one JSON object.
#include <string>

#include "baud_detection.h"
#include "commands.h"
#include "image_facts.h"
#include "json_output.h"
#include "printable_text.h"
#include "upgrade_schedule.h"

namespace velloran::cli {
namespace {

std::vector<Message> InfoLines(const ImageFacts &facts) {
  const uint32_t size = facts.size;
  std::vector<Message> lines = {
      CliMessage("info_image", {{"path", PrintableText(facts.path)}}),
      CliMessage("info_size", {{"size", std::to_string(size)}, {"data", std::to_string(size - kImageHeaderSize)}}),
      CliMessage("info_version", {{"version", facts.VersionText()}}),
      CliMessage("info_sha256", {{"sha256", facts.sha256}}),
      CliMessage(facts.remainder == 0 ? "info_packets" : "info_packets_short",
                 {{"packets", std::to_string(facts.packets)},
                  {"packet_size", std::to_string(facts.packetSize)},
                  {"full", std::to_string(facts.full)},
                  {"data", std::to_string(facts.remainder)},
                  {"fill", std::to_string(facts.packetSize - facts.remainder)}}),
      CliMessage("info_times"),
      CliMessage("info_usb", {{"duration", DurationText(UsbUpgradeTime(size, facts.packetSize).TotalMs())}})};
  int position = 0;
  for (const DWORD rate : kDetectionRates) {
    const double ms = SerialUpgradeTime(size, facts.packetSize, ++position).TotalMs();
    lines.push_back(CliMessage("info_serial", {{"duration", DurationText(ms)}, {"baud", std::to_string(rate)}}));
  }
  lines.push_back(CliMessage("info_lpt", {{"duration", DurationText(LptUpgradeTime(size).TotalMs())}}));
  return lines;
}

Json InfoObject(const ImageFacts &facts) {
  Json info;
  info["image"] = JsonText(facts.path);
  info["size"] = facts.size;
  info["version"] = facts.VersionText();
  info["sha256"] = facts.sha256;
  info["packet_size"] = facts.packetSize;
  info["packets"] = facts.packets;
  info["last_packet_data"] = facts.remainder == 0 ? facts.packetSize : facts.remainder;
  info["usb_ms"] = static_cast<long long>(UsbUpgradeTime(facts.size, facts.packetSize).TotalMs());
  Json serial = Json::array();
  int position = 0;
  for (const DWORD rate : kDetectionRates) {
    const double ms = SerialUpgradeTime(facts.size, facts.packetSize, ++position).TotalMs();
    serial.push_back({{"baud", rate}, {"ms", static_cast<long long>(ms)}});
  }
  info["serial"] = serial;
  info["lpt_ms"] = static_cast<long long>(LptUpgradeTime(facts.size).TotalMs());
  return info;
}

}  // namespace

int RunInfo(const CliOptions &options, std::ostream &out, std::ostream &err) {
  const Language language = options.language.value_or(LanguageFromEnvironment());
  const ImageLoadResult loaded = LoadImageFile(options.image);
  if (!loaded.ok()) {
    const Message problem = CliMessage("image_unloadable", {{"path", PrintableText(options.image)},
                                                            {"reason", ProcedureMessage(*loaded.error)},
                                                            {"cause", loaded.cause}});
    if (options.json) {
      out << JsonLine({{"ok", false}, {"reason", ProcedureMessage(*loaded.error).id}, {"cause", loaded.cause},
                       {"text", JsonText(problem.zh)}, {"en", problem.en}})
          << "\n";
    } else {
      err << "velloran-cli: " << problem.In(language) << "\n";
    }
    return kExitFailed;
  }
  const ImageFacts facts = FactsOf(options.image, loaded.image);
  if (options.json) {
    Json info = InfoObject(facts);
    info["ok"] = true;
    out << JsonLine(info) << "\n";
    return kExitOk;
  }
  for (const Message &line : InfoLines(facts)) out << line.In(language) << "\n";
  return kExitOk;
}

}  // namespace velloran::cli
