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

std::string BusyAdvice(const std::string &name, const std::string &node, const char *group) {
  const std::string where = node.empty() ? name : name + " (" + node + ")";
  return where + " cannot be opened: another program holds it, or you may not open it.\n"
         "  If no other program uses it, give yourself the right to open it: such nodes\n"
         "  belong to the group '" + group + "' (check with: ls -l " + (node.empty() ? "the device" : node) +
         "), so run\n"
         "    sudo usermod -aG " + group + " $USER\n"
         "  and log in again.";
}

}  // namespace velloran::cli
