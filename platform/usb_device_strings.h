// What the system knows about the USB device behind a printer interface: the
// strings it reports about itself (iManufacturer, iProduct, iSerialNumber),
// where it hangs, and the IEEE 1284 device id its printer class answers.
#pragma once

#include <string>

namespace velloran::platform {

struct UsbDeviceStrings {
  std::string manufacturer;
  std::string product;
  std::string serial;
  // Where the device hangs, stable while it stays in the same socket: the
  // sysfs port path ("1-2.3") on Linux; on Windows the instance part of the
  // device path, which the system keys on the serial number or the port.
  std::string portPath;
  int busNumber = -1;     // -1 where unknown
  int deviceNumber = -1;  // changes at every enumeration
  std::string ieee1284Id;  // "MFG:...;MDL:...;" where the driver shows it
};

// The facts of the USB device behind a printer interface's device path, as
// the device-setup enumeration gives it; empty where the system does not
// know them. On Linux they come from the device's folder in sysfs (under the
// movable root of usb_print_paths.h).
UsbDeviceStrings UsbPrinterStrings(const std::string &devicePath);

}  // namespace velloran::platform
