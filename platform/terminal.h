// Whether an output stream is a terminal (a console on Windows): the
// command-line tool draws its progress bar only there.
#pragma once

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace velloran::platform {

inline bool StreamIsTerminal(std::FILE *stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

}  // namespace velloran::platform
