// Probing ports through the node's diagnosis.
#include "port_probe.h"

#include "device_name_syntax.h"
#include "device_names.h"

namespace velloran::cli {

using platform::NodeVerdict;

PortState StateOf(const platform::NodeDiagnosis &diagnosis) {
  if (!platform::NodePresent(diagnosis.verdict)) return PortState::kAbsent;
  return diagnosis.verdict == NodeVerdict::kOpens ? PortState::kFree : PortState::kBusy;
}

platform::NodeDiagnosis ProbeNode(const std::string &node, platform::NodeUse use) {
  if (!node.empty()) return platform::DiagnoseNode(node, use);
  platform::NodeDiagnosis none;
  none.verdict = NodeVerdict::kMissing;
  return none;
}

PortState ProbeDevice(const std::string &name, platform::NodeUse use) {
  // Windows opens a device path by itself; Linux by its node.
  const std::string node = platform::DeviceNodeForName(name);
  return StateOf(ProbeNode(node.empty() ? name : node, use));
}

std::vector<PresentPort> ListComPorts() {
  std::vector<PresentPort> ports;
  for (unsigned n = 1; n <= platform::device_syntax::kHighestListedComPort; ++n) {
    PresentPort port{"COM" + std::to_string(n), n, ProbeNode(platform::ComPortNode(n), platform::NodeUse::kSerial)};
    if (port.state() != PortState::kAbsent) ports.push_back(std::move(port));
  }
  return ports;
}

std::vector<PresentPort> ListParallelPorts() {
  std::vector<PresentPort> ports;
  for (unsigned n = 1; n <= 9; ++n) {
    const std::string name = "LPT" + std::to_string(n);
    PresentPort port{name, n, ProbeNode(platform::DeviceNodeForName(name), platform::NodeUse::kPrinter)};
    if (port.state() != PortState::kAbsent) ports.push_back(std::move(port));
  }
  return ports;
}

}  // namespace velloran::cli
