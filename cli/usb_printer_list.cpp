// Listing USB printers through the transport's enumeration and choice.
#include "usb_printer_list.h"

#include <algorithm>

#include "device_names.h"
#include "system_error_text.h"
#include "usb_interface_list.h"
#include "usb_printer_selection.h"

namespace velloran::cli {
namespace {

// The four characters after marker ("vid_", "pid_") in a device path.
std::string IdField(const std::string &path, const char *marker) {
  std::string lower = path;
  for (char &c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  const size_t at = lower.find(marker);
  if (at == std::string::npos || at + 8 > path.size()) return {};
  return path.substr(at + 4, 4);
}

std::string Narrow(const std::wstring &wide) {
  std::string text;
  for (wchar_t c : wide) text += c < 0x80 ? static_cast<char>(c) : '?';
  return text;
}

// The serial number where no other printer reports the same one, else the
// port path; the device path where the system tells neither.
void GiveIds(std::vector<ListedUsbPrinter> &printers) {
  for (ListedUsbPrinter &printer : printers) {
    const std::string &serial = printer.strings.serial;
    const auto sharing = std::ranges::count_if(printers, [&](const auto &other) { return other.strings.serial == serial; });
    printer.id = !serial.empty() && sharing == 1 ? serial : printer.strings.portPath;
    if (printer.id.empty()) printer.id = printer.devicePath;
  }
}

}  // namespace

bool UpgradableUsbPrinter(const ListedUsbPrinter &printer) { return printer.active && printer.accepted; }

UsbPrinterListing ListUsbPrinters(bool probeStates) {
  UsbPrinterListing listing;
  std::vector<ListedUsbPrinter> &printers = listing.printers;
  // Fetch reads the list by index: the choice and the listing share it.
  transport::SystemUsbInterfaceList interfaces;
  if (!interfaces.valid()) {
    listing.error = CliMessage("usb_list_failed",
                               {{"error", std::to_string(GetLastError())}, {"cause", platform::LastErrorText()}});
    return listing;
  }
  const std::optional<std::wstring> chosen = transport::ChooseUsbPrinter(interfaces);
  for (DWORD index = 0;; ++index) {
    DWORD flags = 0;
    if (!interfaces.Fetch(index, &flags)) break;
    std::wstring path;
    if (!interfaces.DevicePath(&path)) continue;
    ListedUsbPrinter printer;
    printer.devicePath = Narrow(path);
    const std::string node = platform::DeviceNodeForName(printer.devicePath);
    printer.node = node.empty() ? printer.devicePath : node;
    printer.vendorId = IdField(printer.devicePath, "vid_");
    printer.productId = IdField(printer.devicePath, "pid_");
    printer.strings = platform::UsbPrinterStrings(printer.devicePath);
    printer.active = flags == SPINT_ACTIVE;
    printer.accepted = transport::VendorFieldAccepted(path);
    printer.chosen = chosen && *chosen == path;
    printer.state = printer.active && probeStates ? ProbeDevice(printer.devicePath, platform::NodeUse::kPrinter)
                                                  : PortState::kAbsent;
    printers.push_back(std::move(printer));
  }
  GiveIds(printers);
  return listing;
}

const ListedUsbPrinter *ChosenUsbPrinter(const std::vector<ListedUsbPrinter> &printers) {
  const auto chosen = std::ranges::find_if(printers, &ListedUsbPrinter::chosen);
  return chosen == printers.end() ? nullptr : &*chosen;
}

}  // namespace velloran::cli
