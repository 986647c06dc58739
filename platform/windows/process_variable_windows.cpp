// The system's environment block: the C runtime's copy (getenv) does not see
// what SetEnvironmentVariable changes, so both sides use the system calls.
#include "process_variable.h"

#include <vector>

#include "win32_base.h"

namespace velloran::platform {

std::optional<std::string> ProcessVariable(const char *name) {
  const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
  if (size <= 1) return std::nullopt;
  std::vector<char> value(size);
  const DWORD length = GetEnvironmentVariableA(name, value.data(), size);
  if (length == 0 || length >= size) return std::nullopt;
  return std::string(value.data(), length);
}

bool SetProcessVariable(const char *name, const std::string &value) {
  return SetEnvironmentVariableA(name, value.c_str()) != 0;
}

void ClearProcessVariable(const char *name) { SetEnvironmentVariableA(name, nullptr); }

}  // namespace velloran::platform
