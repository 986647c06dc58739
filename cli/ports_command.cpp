// velloran-cli ports.
#include <cstdio>

#include "commands.h"
#include "port_probe.h"

namespace velloran::cli {

namespace {

const char *StateText(PortState state) {
  switch (state) {
    case PortState::kFree: return "free";
    case PortState::kBusy: return "busy (in use, or not permitted)";
    case PortState::kAbsent: break;
  }
  return "gone";
}

}  // namespace

int RunPorts(std::ostream &out) {
  const std::vector<PresentPort> ports = ListComPorts();
  if (ports.empty()) out << "No COM port present.\n";
  for (const PresentPort &port : ports) {
    char line[160];
    std::snprintf(line, sizeof line, "COM%-5u %-24s %s\n", port.number, port.node.c_str(), StateText(port.state));
    out << line;
  }
  for (const PresentPort &port : ListParallelPorts()) {
    char line[160];
    std::snprintf(line, sizeof line, "LPT%-5u %-24s %s\n", port.number, port.node.c_str(), StateText(port.state));
    out << line;
  }
  for (const UsbPrinterPort &printer : ListUsbPrinters()) {
    char line[512];
    std::snprintf(line, sizeof line, "USB      %-24s %s, %s\n         %s\n",
                  printer.node.empty() ? "-" : printer.node.c_str(), StateText(printer.state),
                  printer.supported ? "a supported maker" : "a maker --link usb does not look for",
                  printer.path.c_str());
    out << line;
  }
  return kExitOk;
}

}  // namespace velloran::cli
