// The port lists: which COM ports exist, and which of them are free.
#include "com_port_probe.h"

#include "device_name_syntax.h"

namespace velloran {

void ProbeComPorts(const ComPortProber &probe, std::vector<uint32_t> &present,
                   std::vector<uint32_t> &free, std::vector<uint32_t> &busy) {
  present.clear();
  free.clear();
  busy.clear();
  for (unsigned port = 1; port <= platform::device_syntax::kHighestListedComPort; ++port) {
    const ComPortState state = probe(port);
    if (state == ComPortState::kAbsent) continue;
    (state == ComPortState::kFree ? free : busy).push_back(port);
    present.push_back(port);
  }
}

}  // namespace velloran
