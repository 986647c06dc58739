// Writing service-record lines.
#include "upgrade_record.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "json_output.h"

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

bool AppendUpgradeRecord(const std::string &file, const UpgradeRecord &record, std::string *error) {
  // One write of the whole line in append mode: lines of several writers
  // do not interleave.
  const std::string line = RecordLine(record) + "\n";
  std::FILE *stream = std::fopen(file.c_str(), "ab");
  if (stream == nullptr) return *error = std::strerror(errno), false;
  const bool written = std::fwrite(line.data(), 1, line.size(), stream) == line.size();
  const int writeError = errno;
  const bool closed = std::fclose(stream) == 0;
  if (!written || !closed) *error = std::strerror(written ? errno : writeError);
  return written && closed;
}

}  // namespace velloran::cli
