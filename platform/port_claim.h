// Keeps a port this process's for as long as the claim lives: a procedure
// that closes its port and opens it again after a pause (the serial
// upgrade's boot switch) finds it held for it, and other programs, other
// instances of this tool included, find it held by this process throughout.
// On Linux the claim keeps the node open with its advisory lock and the
// terminal's exclusivity; the procedure's own opens of the same node then
// share that open description. On Windows the system gives a COM port to one
// handle only, so a claim holds nothing: it always succeeds.
#pragma once

#include <string>

#include "win32_base.h"

namespace velloran::platform {

class PortClaim {
 public:
  // name: a device name ("COM5") or a node; opened as CreateFileA opens it.
  explicit PortClaim(const std::string &name);
  ~PortClaim();
  PortClaim(const PortClaim &) = delete;
  PortClaim &operator=(const PortClaim &) = delete;

  bool held() const { return error_ == ERROR_SUCCESS; }
  DWORD error() const { return error_; }  // the open's error when not held

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  DWORD error_ = ERROR_SUCCESS;
};

}  // namespace velloran::platform
