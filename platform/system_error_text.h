// The system's own words for the error of the last failed call on this
// thread (GetLastError), for messages that show the number beside them.
#pragma once

#include <string>

namespace velloran::platform {

// FormatMessage's text on Windows; on POSIX the text of the errno behind the
// error (strerror). "error N" where the system has no text for it.
std::string LastErrorText();

}  // namespace velloran::platform
