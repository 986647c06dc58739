#include "process_variable.h"

#include <cstdlib>

namespace velloran::platform {

std::optional<std::string> ProcessVariable(const char *name) {
  const char *value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

bool SetProcessVariable(const char *name, const std::string &value) { return setenv(name, value.c_str(), 1) == 0; }

void ClearProcessVariable(const char *name) { unsetenv(name); }

}  // namespace velloran::platform
