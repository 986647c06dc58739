// Which USB printer interface the library opens: the first active one, among
// the first 20 the system lists, whose device path names a vendor of the
// filter. Only that one is tried. A program that has chosen a printer keeps
// every open on it by naming its port path in VELLORAN_USB_PRINTER: then only
// an interface of that port path qualifies, found again whatever index a
// re-enumeration gave it, and none when it is not there.
#pragma once

#include "win32_base.h"

#include <optional>
#include <string>

namespace velloran::transport {

// The environment variable that holds the chosen printer's port path
// (platform::UsbDeviceStrings::portPath); unset or empty: no choice made.
inline constexpr char kUsbPrinterPinVariable[] = "VELLORAN_USB_PRINTER";

// Interfaces beyond this index are never looked at.
inline constexpr DWORD kUsbSearchLimit = 20;

// The system's list of USB printer interfaces.
class UsbInterfaceList {
 public:
  virtual ~UsbInterfaceList() = default;
  // Fetches the interface at index; false when there is none.
  virtual bool Fetch(DWORD index, DWORD *flags) = 0;
  // The device path of the interface last fetched; false when it cannot be had.
  virtual bool DevicePath(std::wstring *path) = 0;
};

// True when characters 8 to 15 of the path (narrowed in the thread's code
// page), the vendor field that follows "\\?\usb#", equal an entry of the
// vendor filter, letter case aside.
bool VendorFieldAccepted(const std::wstring &device_path);

// The device path to open, or nothing: no match, or the path of an active
// interface could not be had (the search ends there).
// portPath: only an interface of the device at that port path qualifies.
std::optional<std::wstring> ChooseUsbPrinter(UsbInterfaceList &interfaces,
                                             const std::optional<std::string> &portPath = std::nullopt);

// The port path of the device behind an interface's device path; empty when
// the system does not tell.
std::string UsbPortPathOf(const std::wstring &device_path);

}  // namespace velloran::transport
