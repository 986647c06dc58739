// Windows device names mapped to Linux device nodes: the default table and
// the per-name overrides of VELLORAN_DEVICE_MAP.
#include "device_names.h"
#include "device_name_syntax.h"
#include "usb_print_paths.h"

#include <cerrno>
#include <cstdlib>
#include <grp.h>
#include <limits.h>
#include <sys/stat.h>
#include <optional>
#include <vector>

namespace velloran::platform {
namespace {

using namespace device_syntax;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

struct Override {
  DeviceName name;
  std::string node;
};

// The entries of VELLORAN_DEVICE_MAP in their order; malformed ones are
// skipped.
std::vector<Override> ReadOverrides() {
  std::vector<Override> result;
  const char *value = std::getenv(kDeviceMapVariable);
  if (value == nullptr) return result;
  std::string_view rest(value);
  while (!rest.empty()) {
    size_t end = rest.find(';');
    std::string_view entry = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    size_t equals = entry.find('=');
    if (equals == std::string_view::npos) continue;
    auto name = ParseDeviceName(Trim(entry.substr(0, equals)));
    std::string_view node = Trim(entry.substr(equals + 1));
    if (name && !node.empty()) result.push_back({*name, std::string(node)});
  }
  return result;
}

struct TableRange {
  unsigned first_port;
  const char *node_prefix;
};

constexpr unsigned kPortsPerRange = 32;
constexpr TableRange kComTable[] = {
    {1, "/dev/ttyS"},
    {33, "/dev/ttyUSB"},
    {65, "/dev/ttyACM"},
};

std::string DefaultNode(DeviceName name) {
  if (name.kind == DeviceKind::kLpt) return "/dev/lp" + std::to_string(name.number - 1);
  for (const TableRange &range : kComTable) {
    if (name.number >= range.first_port && name.number < range.first_port + kPortsPerRange) {
      return range.node_prefix + std::to_string(name.number - range.first_port);
    }
  }
  return {};
}

std::string NodeFor(DeviceName name, const std::vector<Override> &overrides) {
  // The last entry for a name wins, as later assignments do.
  for (auto it = overrides.rbegin(); it != overrides.rend(); ++it) {
    if (it->name == name) return it->node;
  }
  return DefaultNode(name);
}

// The COM number whose node is exactly this path, 0 for none.
unsigned ComNumberForExactNode(std::string_view node, const std::vector<Override> &overrides) {
  unsigned best = 0;
  auto consider = [&](unsigned number) {
    if (NodeFor({DeviceKind::kCom, number}, overrides) == node && (best == 0 || number < best)) {
      best = number;
    }
  };
  for (const Override &entry : overrides) {
    if (entry.name.kind == DeviceKind::kCom && entry.node == node) consider(entry.name.number);
  }
  for (const TableRange &range : kComTable) {
    std::string_view prefix(range.node_prefix);
    if (node.substr(0, prefix.size()) != prefix) continue;
    std::string_view digits = node.substr(prefix.size());
    if (digits == "0") {
      consider(range.first_port);
    } else if (auto index = ParseNumber(digits, kPortsPerRange - 1)) {
      consider(range.first_port + *index);
    }
  }
  return best;
}

std::string ResolvedPath(const std::string &path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return {};
  return resolved;
}

}  // namespace

bool IsDeviceName(std::string_view name) {
  if (HasDevicePrefix(name)) return true;
  if (UsbPrintNodeFromDevicePath(name).has_value()) return true;
  // "COM0", "COM07" or "COM5000" have no node, but are no file names either.
  for (std::string_view prefix : {"COM", "LPT"}) {
    if (!StartsWithNoCase(name, prefix) || name.size() == prefix.size()) continue;
    std::string_view digits = name.substr(prefix.size());
    if (digits.find_first_not_of("0123456789") == std::string_view::npos) return true;
  }
  return false;
}

std::string DeviceNodeForName(std::string_view name) {
  if (!name.empty() && name.front() == '/') return std::string(name);
  // USB printer interface paths, as the device-setup functions give them.
  if (auto usb_printer = UsbPrintNodeFromDevicePath(name)) return *usb_printer;
  auto device = ParseDeviceName(name);
  if (!device) return {};
  return NodeFor(*device, ReadOverrides());
}

std::string ComPortNode(unsigned port) {
  if (port == 0 || port > kLargestPortNumber) return {};
  return NodeFor({DeviceKind::kCom, port}, ReadOverrides());
}

unsigned ComNumberFromName(std::string_view name) {
  auto device = ParseDeviceName(name);
  return device && device->kind == DeviceKind::kCom ? device->number : 0;
}

unsigned ComNumberForNode(std::string_view node) {
  if (node.empty()) return 0;
  std::vector<Override> overrides = ReadOverrides();
  if (unsigned number = ComNumberForExactNode(node, overrides)) return number;

  // A link (or a path with "..") names the node it resolves to; compare it
  // with the resolved nodes of the overrides and of the default table.
  std::string resolved = ResolvedPath(std::string(node));
  if (resolved.empty()) return 0;
  if (resolved != node) {
    if (unsigned number = ComNumberForExactNode(resolved, overrides)) return number;
  }
  unsigned best = 0;
  for (const Override &entry : overrides) {
    if (entry.name.kind != DeviceKind::kCom || ResolvedPath(entry.node) != resolved) continue;
    if (NodeFor(entry.name, overrides) == entry.node && (best == 0 || entry.name.number < best)) {
      best = entry.name.number;
    }
  }
  return best;
}

std::string DeviceNodeGroup(std::string_view node) {
  struct stat info {};
  if (node.empty() || stat(std::string(node).c_str(), &info) != 0) return {};
  std::vector<char> buffer(4096);
  group entry {};
  group *found = nullptr;
  while (getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
    if (buffer.size() > (1u << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
  return found && found->gr_name ? std::string(found->gr_name) : std::string();
}

unsigned ComNumberLeadingTo(const std::string &node) {
  if (unsigned number = ComNumberForNode(node)) return number;
  // The map separates its entries with ';'.
  if (node.empty() || node.find(';') != std::string::npos) return 0;
  for (unsigned number = kLargestPortNumber; number > 0; --number) {
    if (!ComPortNode(number).empty()) continue;
    const char *current = std::getenv(kDeviceMapVariable);
    std::string map = current ? current : "";
    if (!map.empty()) map += ";";
    map += "COM" + std::to_string(number) + "=" + node;
    if (setenv(kDeviceMapVariable, map.c_str(), 1) != 0) return 0;
    return number;
  }
  return 0;
}

}  // namespace velloran::platform
