// Opening a file that must be a regular file, for reading in byte mode.
//
// A path may name a FIFO without a writer, a device that waits for carrier or
// a folder: opened as usual, the first would keep the caller waiting for ever,
// and none of them has a size to believe. The file is therefore opened without
// waiting and refused unless it is a regular file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace velloran::platform {

enum class RegularFileOutcome {
  kOpened,
  kMissing,     // nothing of that name
  kUnreadable,  // there, but it cannot be opened for reading
  kNotRegular,  // a folder, FIFO, device or socket
};

struct RegularFile {
  RegularFileOutcome outcome = RegularFileOutcome::kMissing;
  std::FILE *file = nullptr;  // opened "rb" when kOpened; the caller closes it
  uint64_t size = 0;          // the file's size when it was opened
};

RegularFile OpenRegularFileForReading(const std::string &path);

}  // namespace velloran::platform
