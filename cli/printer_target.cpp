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

TargetChoice Refused(std::optional<Message> why, bool usageError = false) {
  TargetChoice choice;
  choice.error = std::move(why);
  choice.usageError = usageError;
  return choice;
}

bool Names(const ListedUsbPrinter &printer, const std::string &value) {
  if (value.front() == '/') return printer.node == value;
  return value == printer.id || value == printer.strings.serial || value == printer.strings.portPath;
}

TargetChoice ResolveUsb(const std::optional<std::string> &port) {
  const UsbPrinterListing listing = ListUsbPrinters(false);
  const std::vector<ListedUsbPrinter> &printers = listing.printers;
  if (listing.error) return Refused(*listing.error);
  TargetChoice choice;
  const ListedUsbPrinter *chosen = nullptr;
  if (!port) {
    chosen = ChosenUsbPrinter(printers);
    if (chosen == nullptr) return Refused(CliMessage(printers.empty() ? "usb_none_attached" : "usb_none_supported"));
    for (const ListedUsbPrinter &printer : printers) {
      if (&printer != chosen && UpgradableUsbPrinter(printer)) choice.othersAttached.push_back(printer.id);
    }
  } else {
    std::vector<const ListedUsbPrinter *> named;
    for (const ListedUsbPrinter &printer : printers) {
      if (printer.active && Names(printer, *port)) named.push_back(&printer);
    }
    const std::string shown = PrintableText(*port);
    if (named.empty()) return Refused(CliMessage("usb_port_unknown", {{"port", shown}}));
    if (named.size() > 1) {
      return Refused(CliMessage("usb_port_ambiguous", {{"port", shown},
                                                       {"first", PrintableText(UsbTarget(*named[0]).display)},
                                                       {"second", PrintableText(UsbTarget(*named[1]).display)}}));
    }
    chosen = named.front();
    if (!chosen->accepted) {
      return Refused(CliMessage("usb_port_unsupported", {{"port", PrintableText(UsbTarget(*chosen).display)}}));
    }
  }
  choice.target = UsbTarget(*chosen);
  return choice;
}

TargetChoice ResolveSerial(const std::optional<std::string> &port) {
  const PortChoice com = ChooseComPort(port);
  if (com.number == 0) return Refused(com.error, com.usageError);
  // A node given with --port is named as given.
  const bool nodeGiven = port && !port->empty() && port->front() == '/';
  TargetChoice choice;
  PrinterTarget &target = choice.target.emplace();
  target.link = Link::kSerial;
  target.id = nodeGiven ? *port : "COM" + std::to_string(com.number);
  target.display = target.id;
  target.node = com.node;
  target.comNumber = com.number;
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
  const bool nodeGiven = port && !port->empty() && port->front() == '/';
  unsigned number = port ? 0 : 1;
  if (nodeGiven) {
    for (unsigned n = 1; n <= kParallelPorts && number == 0; ++n) {
      if (platform::DeviceNodeForName("LPT" + std::to_string(n)) == *port) number = n;
    }
    if (number == 0) return Refused(CliMessage("lpt_port_unmappable", {{"node", PrintableText(*port)}}));
  } else if (port) {
    number = ParallelNumber(*port);
    if (number == 0) return Refused(CliMessage("bad_lpt_port", {{"port", PrintableText(*port)}}), true);
  }
  TargetChoice choice;
  PrinterTarget &target = choice.target.emplace();
  target.link = Link::kLpt;
  target.lptName = "LPT" + std::to_string(number);
  target.id = target.lptName;
  target.display = nodeGiven ? *port : target.lptName;
  target.node = platform::DeviceNodeForName(target.lptName);
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
