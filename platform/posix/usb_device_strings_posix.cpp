// USB device facts from sysfs: $SYSFS/class/usbmisc/lpN/device is the
// printer interface (usblp puts ieee1284_id there), its parent the USB device
// with manufacturer, product, serial, busnum and devnum, named after its port
// path ("1-2.3").
#include "usb_device_strings.h"

#include <filesystem>

#include "decimal_digits.h"
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

// A decimal number of at most six digits, else -1.
int NumberIn(const fs::path &file) {
  const std::string text = FirstLine(file);
  const std::optional<unsigned> value = DecimalDigitsValue(text);
  return value && text.size() <= 6 ? static_cast<int>(*value) : -1;
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
  UsbDeviceStrings facts;
  facts.manufacturer = FirstLine(device / "manufacturer");
  facts.product = FirstLine(device / "product");
  facts.serial = FirstLine(device / "serial");
  facts.portPath = device.filename().string();
  facts.busNumber = NumberIn(device / "busnum");
  facts.deviceNumber = NumberIn(device / "devnum");
  facts.ieee1284Id = FirstLine(interface / "ieee1284_id");
  return facts;
}

}  // namespace velloran::platform
