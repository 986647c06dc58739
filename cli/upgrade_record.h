// The service record (--record FILE): one JSON line per printer per upgrade,
// appended, so that a shop keeps the history of what each printer received.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "cli_options.h"
#include "messages.h"

namespace velloran::cli {

struct UpgradeRecord {
  std::chrono::system_clock::time_point start, end;
  std::string image;    // the path as given
  std::string sha256;   // of the image file
  std::string version;  // "04 00"
  std::string target;
  std::optional<std::string> serialNumber;
  Link link = Link::kSerial;
  std::string result;  // completed, failed, stopped
  std::optional<std::string> reason;
  unsigned long long bytes = 0;
  long long durationMs = 0;
};

// "2026-12-09T16:00:00Z".
std::string UtcTimestamp(std::chrono::system_clock::time_point when);

// The record as one JSON line, without line end.
std::string RecordLine(const UpgradeRecord &record);

// Appends the line and its line end; the reason (the file and the system's
// text) when the file cannot be written.
std::optional<Message> AppendUpgradeRecord(const std::string &file, const UpgradeRecord &record);

// Asked before the printer is touched, so that a record that cannot be kept
// stops the upgrade before the erase rather than after it: the reason FILE
// cannot take records (it is opened for appending, created empty where it is
// missing), or nullopt.
std::optional<Message> RecordRefusal(const std::string &file);

}  // namespace velloran::cli
