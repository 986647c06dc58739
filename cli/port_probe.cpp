// Probing ports with an exclusive open.
#include "port_probe.h"

#include <cstdio>

#include "device_names.h"
#include "win32_comm.h"

namespace velloran::cli {

PortState ProbeDevice(const std::string &name) {
  HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return PortState::kFree;
  }
  return GetLastError() == ERROR_ACCESS_DENIED ? PortState::kBusy : PortState::kAbsent;
}

PortState ProbeComPort(unsigned port) {
  char name[32];
  std::snprintf(name, sizeof name, "\\\\.\\COM%u", port);
  return ProbeDevice(name);
}

std::vector<PresentPort> ListComPorts() {
  std::vector<PresentPort> ports;
  for (unsigned n = 1; n <= 255; ++n) {
    const PortState state = ProbeComPort(n);
    if (state != PortState::kAbsent) ports.push_back({n, platform::ComPortNode(n), state});
  }
  return ports;
}

std::vector<PresentPort> ListParallelPorts() {
  std::vector<PresentPort> ports;
  for (unsigned n = 1; n <= 9; ++n) {
    const std::string name = "LPT" + std::to_string(n);
    const PortState state = ProbeDevice(name);
    if (state != PortState::kAbsent) ports.push_back({n, platform::DeviceNodeForName(name), state});
  }
  return ports;
}

}  // namespace velloran::cli
