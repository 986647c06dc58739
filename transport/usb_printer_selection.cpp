// The choice of USB printer interface.
#include "usb_printer_selection.h"

#include "usb_device_strings.h"
#include "win32_setupapi.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace velloran::transport {
namespace {

// The printer makers' vendor fields, in the order they are tried.
constexpr std::array<std::string_view, 6> kVendorFilter = {
    "vid_067b", "vid_0416", "vid_1cbe", "vid_0483", "vid_0471", "vid_1FC9",
};

constexpr size_t kVendorFieldStart = 8;
constexpr size_t kVendorFieldLength = 8;

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, {}, AsciiLower, AsciiLower);
}

// The path in the thread's code page; nothing when it cannot be converted.
std::optional<std::string> NarrowPath(const std::wstring &device_path) {
  int size = WideCharToMultiByte(CP_THREAD_ACP, 0, device_path.c_str(), -1, nullptr, 0, nullptr,
                                 nullptr);
  if (size <= 0) return std::nullopt;
  std::vector<char> narrow(static_cast<size_t>(size));
  if (WideCharToMultiByte(CP_THREAD_ACP, 0, device_path.c_str(), -1, narrow.data(), size, nullptr,
                          nullptr) != size)
    return std::nullopt;
  return std::string(narrow.data());
}

}  // namespace

std::string UsbPortPathOf(const std::wstring &device_path) {
  const std::optional<std::string> narrow = NarrowPath(device_path);
  return narrow ? platform::UsbPrinterStrings(*narrow).portPath : std::string();
}

bool VendorFieldAccepted(const std::wstring &device_path) {
  const std::optional<std::string> narrow = NarrowPath(device_path);
  if (!narrow) return false;
  std::string_view path(*narrow);
  // A path too short to hold the field does not match.
  if (path.size() < kVendorFieldStart + kVendorFieldLength) return false;
  std::string_view field = path.substr(kVendorFieldStart, kVendorFieldLength);
  for (std::string_view vendor : kVendorFilter) {
    if (EqualIgnoringAsciiCase(field, vendor)) return true;
  }
  return false;
}

std::optional<std::wstring> ChooseUsbPrinter(UsbInterfaceList &interfaces,
                                             const std::optional<std::string> &portPath) {
  for (DWORD index = 0; index < kUsbSearchLimit; ++index) {
    DWORD flags = 0;
    if (!interfaces.Fetch(index, &flags)) return std::nullopt;
    // Exactly active: a default or removed interface is passed over too.
    if (flags != SPINT_ACTIVE) continue;
    std::wstring path;
    if (!interfaces.DevicePath(&path)) return std::nullopt;
    if (!VendorFieldAccepted(path)) continue;
    if (!portPath || UsbPortPathOf(path) == *portPath) return path;
  }
  return std::nullopt;
}

}  // namespace velloran::transport
