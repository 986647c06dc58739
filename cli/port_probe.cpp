// Probing ports with an exclusive open.
#include "port_probe.h"

#include <cstdio>

#include "device_names.h"
#include "usb_interface_list.h"
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

std::vector<UsbPrinterPort> ListUsbPrinters() {
  std::vector<UsbPrinterPort> printers;
  transport::SystemUsbInterfaceList interfaces;
  if (!interfaces.valid()) return printers;
  for (DWORD index = 0; index < transport::kUsbSearchLimit; ++index) {
    DWORD flags = 0;
    if (!interfaces.Fetch(index, &flags)) break;
    std::wstring wide;
    if (flags != SPINT_ACTIVE || !interfaces.DevicePath(&wide)) continue;
    // Device paths are ASCII.
    const std::string path(wide.begin(), wide.end());
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    PortState state = PortState::kFree;
    if (handle != INVALID_HANDLE_VALUE) {
      CloseHandle(handle);
    } else {
      state = GetLastError() == ERROR_ACCESS_DENIED ? PortState::kBusy : PortState::kAbsent;
    }
    printers.push_back({path, platform::DeviceNodeForName(path), transport::VendorFieldAccepted(wide), state});
  }
  return printers;
}

Message BusyAdvice(const std::string &name, const std::string &node, const char *group) {
  const std::string where = node.empty() ? name : name + " (" + node + ")";
  const std::string lookAt = node.empty() ? "the device" : node;
  std::string owner = platform::DeviceNodeGroup(node);
  if (owner == "root") {
    // A node left to root (no device manager set its group): joining root's
    // group is no fix.
    return CliMessage("port_busy_root", {{"where", where}, {"node", lookAt}, {"group", group}});
  }
  if (owner.empty()) owner = group;  // the group that usually owns such nodes
  return CliMessage("port_busy", {{"where", where}, {"node", lookAt}, {"group", owner}});
}

}  // namespace velloran::cli
