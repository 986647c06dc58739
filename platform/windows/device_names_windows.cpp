// Windows device names on Windows: a device is opened by its own name. COM
// ports are always opened as "\\.\COMn", the one form that also reaches
// COM10 and above; a Wine prefix maps that name through dosdevices/comN.
#include "device_names.h"

#include <optional>

namespace velloran::platform {
namespace {

// CComPort accepts COM1…COM1024; nothing larger is a port number.
constexpr unsigned kLargestPortNumber = 1024;
constexpr std::string_view kDevicePrefix = "\\\\.\\";

struct DeviceName {
  bool is_com;
  unsigned number;
};

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Upper(text[i]) != Upper(prefix[i])) return false;
  }
  return true;
}

// "COMn" or "LPTn", with or without "\\.\": n in decimal, 1…1024, no sign
// and no leading zero.
std::optional<DeviceName> ParseDeviceName(std::string_view name) {
  if (name.substr(0, kDevicePrefix.size()) == kDevicePrefix) name.remove_prefix(kDevicePrefix.size());
  bool is_com = StartsWithNoCase(name, "COM");
  if (!is_com && !StartsWithNoCase(name, "LPT")) return std::nullopt;
  std::string_view digits = name.substr(3);
  if (digits.empty() || digits.size() > 4 || digits[0] == '0') return std::nullopt;
  unsigned number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  if (number > kLargestPortNumber) return std::nullopt;
  return DeviceName{is_com, number};
}

}  // namespace

bool IsDeviceName(std::string_view name) {
  return name.substr(0, kDevicePrefix.size()) == kDevicePrefix || ParseDeviceName(name).has_value();
}

std::string DeviceNodeForName(std::string_view name) {
  if (name.substr(0, kDevicePrefix.size()) == kDevicePrefix) return std::string(name);
  auto device = ParseDeviceName(name);
  if (!device) return {};
  if (device->is_com) return ComPortNode(device->number);
  return "LPT" + std::to_string(device->number);
}

std::string ComPortNode(unsigned port) {
  if (port == 0 || port > kLargestPortNumber) return {};
  return std::string(kDevicePrefix) + "COM" + std::to_string(port);
}

unsigned ComNumberFromName(std::string_view name) {
  auto device = ParseDeviceName(name);
  return device && device->is_com ? device->number : 0;
}

unsigned ComNumberForNode(std::string_view node) {
  if (node.substr(0, kDevicePrefix.size()) != kDevicePrefix) return 0;
  return ComNumberFromName(node);
}

}  // namespace velloran::platform
