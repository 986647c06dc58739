// The last error's text: the errno that the failed call met, as strerror
// words it (the Win32 number alone would lose it: EIO and ENOTDIR are both
// ERROR_GEN_FAILURE).
#include "system_error_text.h"

#include <cstring>

#include "kernel_object.h"

namespace velloran::platform {

std::string LastErrorText() {
  if (const int error = LastErrno()) return std::strerror(error);
  return "error " + std::to_string(GetLastError());
}

}  // namespace velloran::platform
