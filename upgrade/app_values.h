// The process-wide values through which the dialog (or the command-line tool)
// hands the chosen image and serial port to an upgrade procedure.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

namespace velloran {

// A text that one thread may replace while another reads it: the Open button
// can change the image path at any time, also while a procedure runs, and the
// procedure reads it once, at its start.
class SharedText {
 public:
  void Set(std::string value) {
    std::lock_guard lock(mutex_);
    value_ = std::move(value);
  }
  std::string Get() const {
    std::lock_guard lock(mutex_);
    return value_;
  }
  bool IsEmpty() const {
    std::lock_guard lock(mutex_);
    return value_.empty();
  }

 private:
  mutable std::mutex mutex_;
  std::string value_;
};

}  // namespace velloran

// The firmware image file; empty until the user has chosen one.
extern velloran::SharedText g_strImagePath;
// The serial port number and the baud rate given by the Load command; the
// serial procedure replaces the baud rate with the one it detects.
extern std::atomic<int> g_nComPort;
// The parallel port the parallel procedure opens ("LPT2"); empty: LPT1.
extern velloran::SharedText g_strLptPort;
extern std::atomic<int> g_nBaudRate;
