// Whether an output stream is a terminal (a console on Windows), and how
// wide it is: the command-line tool draws its progress bar only there, as
// wide as the terminal.
#pragma once

#include <cstdio>

#ifdef _WIN32
#include <io.h>

#include "win32_base.h"
#else
#include <sys/ioctl.h>
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

// The terminal's width in columns; 0 when the stream is no terminal or its
// size is unknown.
inline int TerminalColumns(std::FILE *stream) {
#ifdef _WIN32
  HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (console == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(console, &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
#else
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
#endif
}

}  // namespace velloran::platform
