// File-dialog filters written as "Name|pattern|Name|pattern||".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velloran {

struct FileFilterChoice {
  std::string name;     // what the user sees, e.g. "upd(*.upd)"
  std::string pattern;  // e.g. "*.upd"; several separated by ';'
};

// Splits a filter string into its choices, in order. A trailing name without
// pattern, and the closing "||", are ignored.
std::vector<FileFilterChoice> ParseFileFilter(std::string_view filter);

// The firmware image filter of the Open button.
inline constexpr const char *kImageFileFilter = "upd(*.upd)|*.upd|所有文件(*.*)|*.*||";

}  // namespace velloran
