// velloran-cli ports: the serial ports, USB printers and parallel ports
// present and the state of each (free, held by which program, ...), as
// text in the reader's language or as one JSON object.
#include <cstdio>

#include "commands.h"
#include "device_names.h"
#include "json_output.h"
#include "port_advice.h"
#include "port_diagnosis.h"
#include "port_probe.h"
#include "printable_text.h"
#include "usb_printer_list.h"

namespace velloran::cli {
namespace {

using platform::NodeVerdict;

// The state's name, the same in JSON and (translated) in the text.
const char *StateId(const platform::NodeDiagnosis &diagnosis) {
  switch (diagnosis.verdict) {
    case NodeVerdict::kOpens: return "free";
    case NodeVerdict::kNotPermitted: return "not_permitted";
    case NodeVerdict::kNotSerial: return "not_serial";
    case NodeVerdict::kNotPrinterPort: return "not_printer_port";
    case NodeVerdict::kFailed: return "failed";
    default: return "held";
  }
}

// The state in words: the catalog's "port_state_" row of its name.
Message StateText(const platform::NodeDiagnosis &diagnosis) {
  const std::string id = std::string("port_state_") + StateId(diagnosis);
  if (diagnosis.verdict == NodeVerdict::kNotPermitted) return CliMessage(id, {{"group", PrintableText(diagnosis.group)}});
  if (diagnosis.verdict == NodeVerdict::kFailed) return CliMessage(id, {{"error", PrintableText(diagnosis.systemText)}});
  if (id != "port_state_held") return CliMessage(id);
  if (diagnosis.holders.empty()) return CliMessage("port_state_held_unseen");
  return CliMessage(id, {{"holders", HoldersMessage(diagnosis.holders)}});
}

// One line per port: its name, node and state, in columns.
void PrintPorts(std::ostream &out, const std::vector<PresentPort> &ports, Language language) {
  for (const PresentPort &port : ports) {
    char line[160];
    std::snprintf(line, sizeof line, "%-8s %-24s ", port.name.c_str(), PrintableText(port.diagnosis.node).c_str());
    out << line << StateText(port.diagnosis).In(language) << "\n";
  }
}

const char *UsbStateId(const ListedUsbPrinter &printer) {
  if (!printer.active) return "inactive";
  return printer.state == PortState::kFree ? "free" : "held";
}

// A line as for the other ports, then what the printer says about itself
// and the device path the system lists.
void PrintUsbPrinters(std::ostream &out, const std::vector<ListedUsbPrinter> &printers, Language language) {
  for (const ListedUsbPrinter &printer : printers) {
    char line[160];
    std::snprintf(line, sizeof line, "USB      %-24s ", PrintableText(printer.node).c_str());
    out << line << CliMessage(std::string("port_state_") + UsbStateId(printer)).In(language)
        << CliMessage(printer.accepted ? "usb_maker_supported" : "usb_maker_unsupported").In(language)
        << (printer.chosen ? CliMessage("usb_printer_chosen").In(language) : "") << "\n";
    out << "         " << PrintableText(printer.vendorId) << ":" << PrintableText(printer.productId);
    for (const std::string *text : {&printer.strings.manufacturer, &printer.strings.product}) {
      if (!text->empty()) out << "  " << PrintableText(*text);
    }
    if (!printer.strings.serial.empty())
      out << "  " << CliMessage("usb_serial_number", {{"serial", PrintableText(printer.strings.serial)}}).In(language);
    out << "\n         " << PrintableText(printer.devicePath) << "\n";
    if (!printer.active) continue;
    out << "         " << CliMessage("usb_id", {{"id", PrintableText(printer.id)}}).In(language);
    if (!printer.strings.portPath.empty())
      out << CliMessage("usb_port_path", {{"path", PrintableText(printer.strings.portPath)}}).In(language);
    if (printer.strings.busNumber >= 0 && printer.strings.deviceNumber >= 0) {
      out << CliMessage("usb_bus_device", {{"bus", std::to_string(printer.strings.busNumber)},
                                           {"device", std::to_string(printer.strings.deviceNumber)}})
                 .In(language);
    }
    out << "\n";
    if (!printer.strings.ieee1284Id.empty()) out << "         IEEE 1284 " << PrintableText(printer.strings.ieee1284Id) << "\n";
  }
}

Json PortsJson(const std::vector<PresentPort> &ports) {
  Json list = Json::array();
  for (const PresentPort &port : ports) {
    const platform::NodeDiagnosis &diagnosis = port.diagnosis;
    Json entry;
    entry["id"] = port.name;
    entry["name"] = port.name;
    entry["node"] = JsonText(diagnosis.node);
    entry["state"] = StateId(diagnosis);
    if (diagnosis.verdict == NodeVerdict::kNotPermitted) entry["group"] = JsonText(diagnosis.group);
    if (diagnosis.verdict == NodeVerdict::kFailed) entry["error"] = JsonText(diagnosis.systemText);
    if (!diagnosis.holders.empty()) {
      Json holders = Json::array();
      for (const platform::NodeHolder &holder : diagnosis.holders)
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
    entry["state"] = UsbStateId(printer);
    list.push_back(entry);
  }
  return list;
}

}  // namespace

int RunPorts(const CliOptions &options, std::ostream &out) {
  const std::vector<PresentPort> serial = ListComPorts();
  const UsbPrinterListing usb = ListUsbPrinters();
  const std::vector<PresentPort> parallel = ListParallelPorts();
  const Language language = options.language.value_or(LanguageFromEnvironment());
  if (options.json) {
    Json listing;
    listing["serial"] = PortsJson(serial);
    listing["parallel"] = PortsJson(parallel);
    listing["usb"] = UsbJson(usb.printers);
    if (usb.error) listing["usb_error"] = JsonText(usb.error->en);
    out << JsonLine(listing) << "\n";
    return usb.error ? kExitFailed : kExitOk;
  }
  if (serial.empty()) out << CliMessage("ports_no_com").In(language) << "\n";
  PrintPorts(out, serial, language);
  PrintPorts(out, parallel, language);
  PrintUsbPrinters(out, usb.printers, language);
  if (usb.error) {
    out << usb.error->In(language) << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace velloran::cli
