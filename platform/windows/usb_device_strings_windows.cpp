// USB device facts on Windows: the interface path alone does not carry the
// strings, and the listing shows the path's vendor and product instead. Its
// instance part ("\\?\usb#vid_067b&pid_2305#<instance>#{class}") is the
// serial number where the device has one, else a key of the port it hangs
// on; it serves as the place that keeps an upgrade on one printer.
#include "usb_device_strings.h"

namespace velloran::platform {

UsbDeviceStrings UsbPrinterStrings(const std::string &devicePath) {
  UsbDeviceStrings facts;
  const size_t first = devicePath.find('#');
  const size_t second = first == std::string::npos ? first : devicePath.find('#', first + 1);
  const size_t last = devicePath.rfind('#');
  if (second != std::string::npos && last > second) {
    facts.portPath = devicePath.substr(second + 1, last - second - 1);
    for (char &c : facts.portPath) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return facts;
}

}  // namespace velloran::platform
