// velloran-cli ports.
#include <cstdio>

#include "commands.h"
#include "port_probe.h"

namespace velloran::cli {

int RunPorts(std::ostream &out) {
  const std::vector<PresentPort> ports = ListComPorts();
  if (ports.empty()) {
    out << "No COM port present.\n";
    return kExitOk;
  }
  for (const PresentPort &port : ports) {
    char line[160];
    std::snprintf(line, sizeof line, "COM%-5u %-24s %s\n", port.number, port.node.c_str(),
                  port.state == PortState::kFree ? "free" : "busy (in use, or not permitted)");
    out << line;
  }
  return kExitOk;
}

}  // namespace velloran::cli
