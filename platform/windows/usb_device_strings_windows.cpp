// USB device strings on Windows: the interface path alone does not carry
// them, and the listing shows the path's vendor and product instead.
#include "usb_device_strings.h"

namespace velloran::platform {

UsbDeviceStrings UsbPrinterStrings(const std::string &) { return {}; }

}  // namespace velloran::platform
