// The USB printers attached, as the USB upgrade sees them: every printer
// interface the system lists, whether the vendor filter accepts it, and the
// one that the upgrade's search (the transport's own) would open.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "messages.h"
#include "port_probe.h"
#include "usb_device_strings.h"

namespace velloran::cli {

struct ListedUsbPrinter {
  std::string devicePath;  // as the device-setup enumeration gives it
  std::string node;        // the device node (Linux), else the path
  std::string vendorId;    // four hex digits from the path, as written there
  std::string productId;
  platform::UsbDeviceStrings strings;  // serial number, port path, ...
  // What a technician types to choose it: the serial number when the device
  // reports one that no other printer listed shares, else the port path.
  std::string id;
  bool active = false;    // usable now (its node exists)
  bool accepted = false;  // its vendor is one of the filter's
  bool chosen = false;    // the USB upgrade opens this one
  PortState state = PortState::kAbsent;  // free or busy, for active ones
};

struct UsbPrinterListing {
  std::vector<ListedUsbPrinter> printers;
  std::optional<Message> error;  // the system's list could not be read, and why
};

// probeStates: open each active printer to tell whether it is free (what
// `ports` shows). A choice does without: the probe's exclusive open would
// refuse, for its moment, an upgrade that another process runs on that
// printer (several printers are upgraded at once by one process each).
UsbPrinterListing ListUsbPrinters(bool probeStates = true);

// Active and of a supported maker: a printer the USB upgrade can reach.
bool UpgradableUsbPrinter(const ListedUsbPrinter &printer);

// The printer the USB upgrade would open, or nullptr.
const ListedUsbPrinter *ChosenUsbPrinter(const std::vector<ListedUsbPrinter> &printers);

}  // namespace velloran::cli
