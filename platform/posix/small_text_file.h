// Reading the small text files of /proc and /sys.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace velloran::platform {

// The whole file, or nothing when it cannot be opened or read.
inline std::optional<std::string> ReadSmallTextFile(const std::string &path) {
  std::FILE *file = std::fopen(path.c_str(), "re");
  if (!file) return std::nullopt;
  std::string text;
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  return text;
}

}  // namespace velloran::platform
