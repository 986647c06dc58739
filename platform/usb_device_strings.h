// The strings a USB printer reports about itself (iManufacturer, iProduct,
// iSerialNumber), for listing the printers attached.
#pragma once

#include <string>

namespace velloran::platform {

struct UsbDeviceStrings {
  std::string manufacturer;
  std::string product;
  std::string serial;
};

// The strings of the USB device behind a printer interface's device path, as
// the device-setup enumeration gives it; empty where the system does not
// know them. On Linux they come from the device's folder in sysfs (under the
// movable root of usb_print_paths.h).
UsbDeviceStrings UsbPrinterStrings(const std::string &devicePath);

}  // namespace velloran::platform
