// The port lists: which COM ports exist, and which of them are free.
#include "com_port_probe.h"

namespace velloran {

void ProbeComPorts(const ComPortProber &probe, std::vector<uint32_t> &present,
                   std::vector<uint32_t> &free, std::vector<uint32_t> &busy) {
  present.clear();
  free.clear();
  busy.clear();
  for (unsigned port = 1; port <= kHighestComPort; ++port) {
    switch (probe(port)) {
      case ComPortState::kFree:
        free.push_back(port);
        present.push_back(port);
        break;
      case ComPortState::kBusy:
        busy.push_back(port);
        present.push_back(port);
        break;
      case ComPortState::kAbsent:
        break;
    }
  }
}

}  // namespace velloran
