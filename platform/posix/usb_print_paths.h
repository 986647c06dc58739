// Where the usblp devices of the USB printing class live, and how the device
// paths that the device-setup functions hand out lead back to a device node.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velloran::platform {

// $SYSFS: VELLORAN_SYSFS_ROOT, else /sys. $DEV: VELLORAN_DEV_ROOT, else /dev.
// Read at each call, so a test may point them at a fake tree.
std::string SysfsRoot();
std::string DevRoot();

// The device node of interface lpN: $DEV/usb/lpN.
std::string UsbPrintNode(unsigned index);

// The device path of interface lpN with the given vendor and product fields
// (four hex digits each, kept as written):
//   \\?\usb#vid_067b&pid_2305#lp0#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}
std::string UsbPrintDevicePath(std::string_view vendor, std::string_view product, unsigned index);

// The node for such a device path ("$DEV/usb/lp0"), compared without regard
// to letter case; nothing for any other name.
std::optional<std::string> UsbPrintNodeFromDevicePath(std::string_view path);

}  // namespace velloran::platform
