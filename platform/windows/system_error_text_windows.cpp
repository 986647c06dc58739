// The last error's text from FormatMessage, without its line break.
#include "system_error_text.h"

#include <windows.h>

namespace velloran::platform {

std::string LastErrorText() {
  const DWORD error = GetLastError();
  char text[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text,
                 nullptr);
  std::string message(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(error) : message;
}

}  // namespace velloran::platform
