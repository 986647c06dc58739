#include "program_name.h"

#include <windows.h>

#include <vector>

namespace velloran {

std::string BaseNameWithoutExtension(const std::string &path) {
  size_t slash = path.find_last_of("\\/");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

std::string ProgramBaseName() {
  // Paths may be longer than MAX_PATH; grow until the name fits.
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return BaseNameWithoutExtension(std::string(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace velloran
