#include "file_filter.h"

#include <algorithm>

namespace velloran {

std::vector<FileFilterChoice> ParseFileFilter(std::string_view filter) {
  std::vector<FileFilterChoice> choices;
  // An empty name is the "||" that ends the list.
  while (!filter.empty() && filter.front() != '|') {
    const size_t bar = filter.find('|');
    if (bar == std::string_view::npos) break;  // a name without pattern
    const std::string_view rest = filter.substr(bar + 1);
    const std::string_view pattern = rest.substr(0, rest.find('|'));
    choices.push_back({std::string(filter.substr(0, bar)), std::string(pattern)});
    filter.remove_prefix(std::min(filter.size(), bar + pattern.size() + 2));
  }
  return choices;
}

}  // namespace velloran
