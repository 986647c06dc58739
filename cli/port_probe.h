// Which COM ports exist and whether they can be opened now, found the way
// the dialog finds them: by opening each one.
#pragma once

#include <string>
#include <vector>

namespace velloran::cli {

enum class PortState { kAbsent, kFree, kBusy };

// Opens COMn exclusively and closes it again. Busy means in use by another
// program, or not permitted to this user.
PortState ProbeComPort(unsigned port);

// Opens a device by name ("LPT1") the same way.
PortState ProbeDevice(const std::string &name);

struct PresentPort {
  unsigned number;
  std::string node;  // the device node behind COMn
  PortState state;   // kFree or kBusy
};

// COM1 … COM255, those present.
std::vector<PresentPort> ListComPorts();

// LPT1 … LPT9, those present.
std::vector<PresentPort> ListParallelPorts();

}  // namespace velloran::cli
