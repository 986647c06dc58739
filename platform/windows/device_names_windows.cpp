// Windows device names on Windows: a device is opened by its own name. COM
// ports are always opened as "\\.\COMn", the one form that also reaches
// COM10 and above; a Wine prefix maps that name through dosdevices/comN.
#include "device_names.h"
#include "device_name_syntax.h"

namespace velloran::platform {

using namespace device_syntax;

bool IsDeviceName(std::string_view name) {
  return HasDevicePrefix(name) || ParseDeviceName(name).has_value();
}

std::string DeviceNodeForName(std::string_view name) {
  if (HasDevicePrefix(name)) return std::string(name);
  auto device = ParseDeviceName(name);
  if (!device) return {};
  if (device->kind == DeviceKind::kCom) return ComPortNode(device->number);
  return "LPT" + std::to_string(device->number);
}

std::string ComPortNode(unsigned port) {
  if (port == 0 || port > kLargestPortNumber) return {};
  return std::string(kDevicePrefix) + "COM" + std::to_string(port);
}

unsigned ComNumberFromName(std::string_view name) {
  auto device = ParseDeviceName(name);
  return device && device->kind == DeviceKind::kCom ? device->number : 0;
}

unsigned ComNumberForNode(std::string_view node) {
  if (!HasDevicePrefix(node)) return 0;
  return ComNumberFromName(node);
}

// Windows grants device access through the device's security descriptor, not
// through an owner group.
std::string DeviceNodeGroup(std::string_view) { return {}; }

unsigned ComNumberLeadingTo(const std::string &node) { return ComNumberForNode(node); }

}  // namespace velloran::platform
