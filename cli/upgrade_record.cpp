// Writing service-record lines.
#include "upgrade_record.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "json_output.h"
#include "printable_text.h"

namespace velloran::cli {

std::string UtcTimestamp(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto seconds = floor<std::chrono::seconds>(when);
  const auto day = floor<days>(seconds);
  const year_month_day date{day};
  const hh_mm_ss time{seconds - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

std::string RecordLine(const UpgradeRecord &record) {
  Json line;
  line["start"] = UtcTimestamp(record.start);
  line["end"] = UtcTimestamp(record.end);
  line["image"] = JsonText(record.image);
  line["sha256"] = record.sha256;
  line["version"] = record.version;
  line["target"] = JsonText(record.target);
  line["serial_number"] = record.serialNumber ? JsonText(*record.serialNumber) : Json(nullptr);
  line["link"] = LinkName(record.link);
  line["result"] = record.result;
  line["reason"] = record.reason ? Json(*record.reason) : Json(nullptr);
  line["bytes"] = record.bytes;
  line["duration_ms"] = record.durationMs;
  return JsonLine(line);
}

namespace {

// One write of the whole text in append mode: lines of several writers do
// not interleave.
std::optional<Message> Append(const std::string &file, const std::string &text) {
  std::string error;
  if (std::FILE *stream = std::fopen(file.c_str(), "ab")) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    const int writeError = errno;
    const bool closed = std::fclose(stream) == 0;
    if (written && closed) return std::nullopt;
    error = std::strerror(written ? errno : writeError);
  } else {
    error = std::strerror(errno);
  }
  return CliMessage("record_unwritable", {{"file", PrintableText(file)}, {"detail", error}});
}

}  // namespace

std::optional<Message> AppendUpgradeRecord(const std::string &file, const UpgradeRecord &record) {
  return Append(file, RecordLine(record) + "\n");
}

std::optional<Message> RecordRefusal(const std::string &file) { return Append(file, ""); }

}  // namespace velloran::cli
