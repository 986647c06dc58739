// Roots of the usblp tree and the device paths of USB printer interfaces.
#include "usb_print_paths.h"

#include "decimal_digits.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace velloran::platform {
namespace {

constexpr std::string_view kPathPrefix = "\\\\?\\usb#";
constexpr std::string_view kClassSuffix = "#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

std::string RootFromEnvironment(const char *variable, const char *fallback) {
  const char *value = std::getenv(variable);
  std::string root = (value && *value) ? value : fallback;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  return std::ranges::equal(a, b, {}, lower, lower);
}

}  // namespace

std::string SysfsRoot() { return RootFromEnvironment("VELLORAN_SYSFS_ROOT", "/sys"); }
std::string DevRoot() { return RootFromEnvironment("VELLORAN_DEV_ROOT", "/dev"); }

std::string UsbPrintNode(unsigned index) {
  return DevRoot() + "/usb/lp" + std::to_string(index);
}

std::string UsbPrintDevicePath(std::string_view vendor, std::string_view product, unsigned index) {
  std::string path(kPathPrefix);
  path += "vid_";
  path += vendor;
  path += "&pid_";
  path += product;
  path += "#lp" + std::to_string(index);
  path += kClassSuffix;
  return path;
}

std::optional<std::string> UsbPrintNodeFromDevicePath(std::string_view path) {
  if (path.size() <= kPathPrefix.size() + kClassSuffix.size()) return std::nullopt;
  if (!EqualsIgnoringCase(path.substr(0, kPathPrefix.size()), kPathPrefix)) return std::nullopt;
  if (!EqualsIgnoringCase(path.substr(path.size() - kClassSuffix.size()), kClassSuffix))
    return std::nullopt;
  std::string_view middle =
      path.substr(kPathPrefix.size(), path.size() - kPathPrefix.size() - kClassSuffix.size());
  // middle: vid_xxxx&pid_xxxx#lpN
  size_t hash = middle.rfind('#');
  if (hash == std::string_view::npos) return std::nullopt;
  std::string_view interface = middle.substr(hash + 1);
  if (interface.size() < 3 || !EqualsIgnoringCase(interface.substr(0, 2), "lp"))
    return std::nullopt;
  std::string_view digits = interface.substr(2);
  if (digits.size() > 6) return std::nullopt;
  const std::optional<unsigned> index = DecimalDigitsValue(digits);
  if (!index) return std::nullopt;
  return UsbPrintNode(*index);
}

}  // namespace velloran::platform
