// USB device strings from sysfs: $SYSFS/class/usbmisc/lpN/device is the
// printer interface, its parent the USB device with manufacturer, product
// and serial.
#include "usb_device_strings.h"

#include <filesystem>

#include "small_text_file.h"
#include "usb_print_paths.h"

namespace velloran::platform {
namespace {

namespace fs = std::filesystem;

std::string FirstLine(const fs::path &file) {
  std::string text = ReadSmallTextFile(file.string()).value_or("");
  const size_t end = text.find('\n');
  if (end != std::string::npos) text.resize(end);
  return text;
}

}  // namespace

UsbDeviceStrings UsbPrinterStrings(const std::string &devicePath) {
  const std::optional<std::string> node = UsbPrintNodeFromDevicePath(devicePath);
  if (!node) return {};
  const std::string name = fs::path(*node).filename().string();  // lpN
  std::error_code ec;
  const fs::path interface = fs::canonical(fs::path(SysfsRoot()) / "class" / "usbmisc" / name / "device", ec);
  if (ec) return {};
  const fs::path device = interface.parent_path();
  return {FirstLine(device / "manufacturer"), FirstLine(device / "product"), FirstLine(device / "serial")};
}

}  // namespace velloran::platform
