// Resolving --port on the three links.
#include "printer_target.h"

#include "device_names.h"
#include "port_choice.h"
#include "printable_text.h"
#include "usb_printer_list.h"

namespace velloran::cli {
namespace {

constexpr unsigned kParallelPorts = 3;

PrinterTarget UsbTarget(const ListedUsbPrinter &printer) {
  PrinterTarget target;
  target.link = Link::kUsb;
  target.id = printer.id;
  target.display = "USB " + printer.vendorId + ":" + printer.productId + " " + printer.id;
  target.node = printer.node;
  target.usbPortPath = printer.strings.portPath;
  target.serialNumber = printer.strings.serial;
  return target;
}

bool Names(const ListedUsbPrinter &printer, const std::string &value) {
  if (value.front() == '/') return printer.node == value;
  return value == printer.id || value == printer.strings.serial || value == printer.strings.portPath;
}

TargetChoice ResolveUsb(const std::optional<std::string> &port) {
  const UsbPrinterListing listing = ListUsbPrinters(false);
  const std::vector<ListedUsbPrinter> &printers = listing.printers;
  TargetChoice choice;
  if (listing.error) {
    choice.error = listing.error;
    return choice;
  }
  const ListedUsbPrinter *chosen = nullptr;
  if (!port) {
    chosen = ChosenUsbPrinter(printers);
    if (chosen == nullptr) {
      choice.error = CliMessage(printers.empty() ? "usb_none_attached" : "usb_none_supported");
      return choice;
    }
    for (const ListedUsbPrinter &printer : printers) {
      if (&printer != chosen && UpgradableUsbPrinter(printer)) choice.othersAttached.push_back(printer.id);
    }
  } else {
    std::vector<const ListedUsbPrinter *> named;
    for (const ListedUsbPrinter &printer : printers) {
      if (printer.active && Names(printer, *port)) named.push_back(&printer);
    }
    const std::string shown = PrintableText(*port);
    if (named.empty()) {
      choice.error = CliMessage("usb_port_unknown", {{"port", shown}});
      return choice;
    }
    if (named.size() > 1) {
      choice.error = CliMessage("usb_port_ambiguous", {{"port", shown},
                                                       {"first", PrintableText(UsbTarget(*named[0]).display)},
                                                       {"second", PrintableText(UsbTarget(*named[1]).display)}});
      return choice;
    }
    chosen = named.front();
    if (!chosen->accepted) {
      choice.error = CliMessage("usb_port_unsupported", {{"port", PrintableText(UsbTarget(*chosen).display)}});
      return choice;
    }
  }
  choice.target = UsbTarget(*chosen);
  return choice;
}

TargetChoice ResolveSerial(const std::optional<std::string> &port) {
  const PortChoice com = ChooseComPort(port);
  TargetChoice choice;
  if (com.number == 0) {
    choice.error = com.error;
    choice.usageError = com.usageError;
    return choice;
  }
  PrinterTarget target;
  target.link = Link::kSerial;
  // A node given with --port is named as given.
  const bool nodeGiven = port && !port->empty() && port->front() == '/';
  target.id = nodeGiven ? *port : "COM" + std::to_string(com.number);
  target.display = target.id;
  target.node = com.node;
  target.comNumber = com.number;
  choice.target = target;
  return choice;
}

// n of "LPTn" (letter case aside, n from 1 to 3), else 0.
unsigned ParallelNumber(const std::string &text) {
  if (text.size() != 4) return 0;
  for (size_t i = 0; i < 3; ++i) {
    if ((text[i] | 0x20) != "lpt"[i]) return 0;
  }
  const unsigned number = static_cast<unsigned>(text[3] - '0');
  return text[3] >= '1' && number <= kParallelPorts ? number : 0;
}

TargetChoice ResolveParallel(const std::optional<std::string> &port) {
  TargetChoice choice;
  unsigned number = port ? 0 : 1;
  if (port && !port->empty() && port->front() == '/') {
    for (unsigned n = 1; n <= kParallelPorts && number == 0; ++n) {
      if (platform::DeviceNodeForName("LPT" + std::to_string(n)) == *port) number = n;
    }
    if (number == 0) {
      choice.error = CliMessage("lpt_port_unmappable", {{"node", PrintableText(*port)}});
      return choice;
    }
  } else if (port) {
    number = ParallelNumber(*port);
    if (number == 0) {
      choice.error = CliMessage("bad_lpt_port", {{"port", PrintableText(*port)}});
      choice.usageError = true;
      return choice;
    }
  }
  PrinterTarget target;
  target.link = Link::kLpt;
  target.lptName = "LPT" + std::to_string(number);
  target.id = target.lptName;
  target.display = port && port->front() == '/' ? *port : target.lptName;
  target.node = platform::DeviceNodeForName(target.lptName);
  choice.target = target;
  return choice;
}

}  // namespace

TargetChoice ResolvePrinterTarget(Link link, const std::optional<std::string> &port) {
  switch (link) {
    case Link::kUsb:
      return ResolveUsb(port);
    case Link::kSerial:
      return ResolveSerial(port);
    case Link::kLpt:
      break;
  }
  return ResolveParallel(port);
}

std::vector<std::string> UpgradableUsbPrinterIds() {
  std::vector<std::string> ids;
  for (const ListedUsbPrinter &printer : ListUsbPrinters(false).printers) {
    if (UpgradableUsbPrinter(printer)) ids.push_back(printer.id);
  }
  return ids;
}

}  // namespace velloran::cli
