// velloran-cli ports: the serial ports, USB printers and parallel ports
// present, free or busy, as text or as one JSON object.
#include <cstdio>

#include "commands.h"
#include "device_names.h"
#include "json_output.h"
#include "port_diagnosis.h"
#include "port_probe.h"
#include "printable_text.h"
#include "usb_printer_list.h"

namespace velloran::cli {
namespace {

struct ListedPort {
  std::string name;
  std::string node;
  PortState state;
  platform::NodeDiagnosis diagnosis;  // for busy ones: why
};

ListedPort Listed(const std::string &name, const std::string &node, PortState state, bool serial) {
  ListedPort port{name, node, state, {}};
  if (state == PortState::kBusy && !node.empty()) port.diagnosis = platform::DiagnoseNode(node, serial ? platform::NodeUse::kSerial : platform::NodeUse::kPrinter);
  return port;
}

std::vector<ListedPort> SerialPorts() {
  std::vector<ListedPort> ports;
  for (const PresentPort &port : ListComPorts())
    ports.push_back(Listed("COM" + std::to_string(port.number), port.node, port.state, true));
  return ports;
}

std::vector<ListedPort> ParallelPorts() {
  std::vector<ListedPort> ports;
  for (const PresentPort &port : ListParallelPorts())
    ports.push_back(Listed("LPT" + std::to_string(port.number), port.node, port.state, false));
  return ports;
}

// "free", "busy", "not_permitted".
const char *StateId(const ListedPort &port) {
  if (port.state == PortState::kFree) return "free";
  return port.diagnosis.verdict == platform::NodeVerdict::kNotPermitted ? "not_permitted" : "busy";
}

std::string StateText(const ListedPort &port) {
  if (port.state == PortState::kFree) return "free";
  if (port.diagnosis.verdict == platform::NodeVerdict::kNotPermitted)
    return "not permitted to you (group " + PrintableText(port.diagnosis.group) + ")";
  std::string text = "busy";
  for (size_t i = 0; i < port.diagnosis.holders.size(); ++i) {
    const platform::NodeHolder &holder = port.diagnosis.holders[i];
    text += (i == 0 ? ": " : ", ") + PrintableText(holder.program) + " (process " + std::to_string(holder.pid) + ")";
  }
  return text;
}

// One line per port: its name, node and state, in columns.
void PrintPorts(std::ostream &out, const std::vector<ListedPort> &ports) {
  for (const ListedPort &port : ports) {
    char line[160];
    std::snprintf(line, sizeof line, "%-8s %-24s ", port.name.c_str(), PrintableText(port.node).c_str());
    out << line << StateText(port) << "\n";
  }
}

std::string UsbState(const ListedUsbPrinter &printer) {
  if (!printer.active) return "not active";
  return printer.state == PortState::kFree ? "free" : "busy";
}

// A line as for the other ports, then what the printer says about itself
// and the device path the system lists.
void PrintUsbPrinters(std::ostream &out, const std::vector<ListedUsbPrinter> &printers) {
  for (const ListedUsbPrinter &printer : printers) {
    char line[160];
    std::snprintf(line, sizeof line, "USB      %-24s ", PrintableText(printer.node).c_str());
    out << line << UsbState(printer) << ", "
        << (printer.accepted ? "a supported maker" : "a maker --link usb does not look for")
        << (printer.chosen ? "; the USB upgrade uses this one" : "") << "\n";
    out << "         " << PrintableText(printer.vendorId) << ":" << PrintableText(printer.productId);
    for (const std::string *text : {&printer.strings.manufacturer, &printer.strings.product}) {
      if (!text->empty()) out << "  " << PrintableText(*text);
    }
    if (!printer.strings.serial.empty()) out << "  serial " << PrintableText(printer.strings.serial);
    out << "\n         " << PrintableText(printer.devicePath) << "\n";
    if (!printer.active) continue;
    out << "         id " << PrintableText(printer.id);
    if (!printer.strings.portPath.empty()) out << ", port path " << PrintableText(printer.strings.portPath);
    if (printer.strings.busNumber >= 0 && printer.strings.deviceNumber >= 0)
      out << ", bus " << printer.strings.busNumber << " device " << printer.strings.deviceNumber;
    out << "\n";
    if (!printer.strings.ieee1284Id.empty()) out << "         IEEE 1284 " << PrintableText(printer.strings.ieee1284Id) << "\n";
  }
}

Json PortsJson(const std::vector<ListedPort> &ports) {
  Json list = Json::array();
  for (const ListedPort &port : ports) {
    Json entry;
    entry["id"] = port.name;
    entry["name"] = port.name;
    entry["node"] = JsonText(port.node);
    entry["state"] = StateId(port);
    if (port.diagnosis.verdict == platform::NodeVerdict::kNotPermitted) entry["group"] = JsonText(port.diagnosis.group);
    if (!port.diagnosis.holders.empty()) {
      Json holders = Json::array();
      for (const platform::NodeHolder &holder : port.diagnosis.holders)
        holders.push_back({{"pid", holder.pid}, {"program", JsonText(holder.program)}});
      entry["holders"] = holders;
    }
    list.push_back(entry);
  }
  return list;
}

Json UsbJson(const std::vector<ListedUsbPrinter> &printers) {
  Json list = Json::array();
  for (const ListedUsbPrinter &printer : printers) {
    Json entry;
    entry["id"] = JsonText(printer.id);
    entry["node"] = JsonText(printer.node);
    entry["path"] = JsonText(printer.devicePath);
    entry["vendor_id"] = JsonText(printer.vendorId);
    entry["product_id"] = JsonText(printer.productId);
    entry["manufacturer"] = JsonText(printer.strings.manufacturer);
    entry["product"] = JsonText(printer.strings.product);
    entry["serial_number"] = JsonText(printer.strings.serial);
    entry["port_path"] = JsonText(printer.strings.portPath);
    entry["bus"] = printer.strings.busNumber >= 0 ? Json(printer.strings.busNumber) : Json();
    entry["device"] = printer.strings.deviceNumber >= 0 ? Json(printer.strings.deviceNumber) : Json();
    entry["ieee1284_id"] = JsonText(printer.strings.ieee1284Id);
    entry["accepted"] = printer.accepted;
    entry["chosen"] = printer.chosen;
    entry["state"] = printer.active ? (printer.state == PortState::kFree ? "free" : "busy") : "inactive";
    list.push_back(entry);
  }
  return list;
}

}  // namespace

int RunPorts(const CliOptions &options, std::ostream &out) {
  const std::vector<ListedPort> serial = SerialPorts();
  const std::vector<ListedUsbPrinter> usb = ListUsbPrinters();
  const std::vector<ListedPort> parallel = ParallelPorts();
  if (options.json) {
    Json listing;
    listing["serial"] = PortsJson(serial);
    listing["parallel"] = PortsJson(parallel);
    listing["usb"] = UsbJson(usb);
    out << JsonLine(listing) << "\n";
    return kExitOk;
  }
  if (serial.empty()) out << "No COM port present.\n";
  PrintPorts(out, serial);
  PrintPorts(out, parallel);
  PrintUsbPrinters(out, usb);
  return kExitOk;
}

}  // namespace velloran::cli
