// The state of one COM port, found by opening it as the port list does.
#include "com_port_probe.h"
#include "win32_comm.h"

namespace velloran {

ComPortState ProbeComPort(unsigned port) {
  char path[32];
  wsprintfA(path, "\\\\.\\COM%d", static_cast<int>(port));
  HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return ComPortState::kFree;
  }
  return GetLastError() == ERROR_ACCESS_DENIED ? ComPortState::kBusy : ComPortState::kAbsent;
}

}  // namespace velloran
