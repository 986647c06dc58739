// The printer an upgrade goes to, on any link, from a --port value: the id
// that `ports` shows and the events carry, how messages name it, the node it
// opens, and what keeps the procedure on it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "messages.h"

namespace velloran::cli {

struct PrinterTarget {
  Link link = Link::kUsb;
  // USB: the serial number or the port path ("1-2.3"); serial: "COMn" or the
  // node given; parallel: "LPTn".
  std::string id;
  std::string display;  // how the user knows it: "COM5", "LPT2", "USB 067b:2305 1-2"
  std::string node;     // the device node it opens
  std::string usbPortPath;  // USB: where the device hangs; every open keeps to it
  std::string serialNumber;  // USB: as the device reports it, else empty
  unsigned comNumber = 0;  // serial: COMn
  std::string lptName;     // parallel: "LPTn"
};

struct TargetChoice {
  std::optional<PrinterTarget> target;
  std::optional<Message> error;  // why none could be chosen
  bool usageError = false;       // the value itself is malformed
  // USB without --port: the ids of the other upgradable printers attached.
  std::vector<std::string> othersAttached;
};

// The printer for port on link; without a value the link's default: the
// first upgradable USB printer, the only serial port present, LPT1. USB: an id, a
// serial number, a port path or a node (/dev/usb/lpN), refused when it names
// two printers; parallel: LPTn (1 to 3) or its node (/dev/lpN).
TargetChoice ResolvePrinterTarget(Link link, const std::optional<std::string> &port);

// The ids of the upgradable USB printers (active, of a supported maker), in
// the order the USB upgrade looks at them.
std::vector<std::string> UpgradableUsbPrinterIds();

}  // namespace velloran::cli
