// The state of one COM port, by the probe that velloran-cli's port list and
// its upgrade's check use too.
#include "com_port_probe.h"
#include "device_names.h"
#include "port_diagnosis.h"

namespace velloran {

ComPortState ProbeComPort(unsigned port) {
  const std::string node = platform::ComPortNode(port);
  if (node.empty()) return ComPortState::kAbsent;
  const platform::NodeVerdict verdict = platform::DiagnoseNode(node, platform::NodeUse::kSerial).verdict;
  if (!platform::NodePresent(verdict)) return ComPortState::kAbsent;
  return verdict == platform::NodeVerdict::kOpens ? ComPortState::kFree : ComPortState::kBusy;
}

}  // namespace velloran
