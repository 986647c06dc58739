// A program started as a child process with its standard input, output and
// error on pipes, in a process group of its own: the terminal's Ctrl-C does
// not reach it, the parent decides what it is told. POSIX: posix_spawn;
// Windows: CreateProcess with inherited pipe handles.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace velloran::platform {

class ChildProcess {
 public:
  // args[0] is the program's path. nullptr, with error set, when it cannot
  // be started.
  static std::unique_ptr<ChildProcess> Start(const std::vector<std::string> &args, std::string *error);
  virtual ~ChildProcess() = default;

  // Blocking reads of the child's output and error: the bytes read, 0 at
  // their end. Each may be called from a thread of its own.
  virtual size_t ReadOutput(char *buffer, size_t size) = 0;
  virtual size_t ReadErrors(char *buffer, size_t size) = 0;
  // Writes to the child's input; false once it is closed.
  virtual bool WriteInput(const std::string &text) = 0;
  virtual void CloseInput() = 0;
  // Waits for the end: the status as a shell sees it (128 + the signal's
  // number after a signal).
  virtual int Wait() = 0;
  // Ends it at once.
  virtual void Kill() = 0;
  virtual long Id() const = 0;
};

// The path of the running program, to start it again as a worker.
std::string OwnProgramPath();

}  // namespace velloran::platform
