// Which COM ports exist and whether they can be opened now, found the way
// the dialog finds them: by opening each one.
#pragma once

#include <string>
#include <vector>

#include "messages.h"

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

struct UsbPrinterPort {
  std::string path;  // the device path the system lists
  std::string node;  // the device node behind it, where the system has one
  bool supported;    // of a maker that --link usb looks for
  PortState state;
};

// The active USB printer interfaces, in the order of the system's list (the
// order in which --link usb tries them), as far as the tool looks.
std::vector<UsbPrinterPort> ListUsbPrinters();

// The advice for a device that could not be opened: who may hold it and how
// to get the permission: join the group that owns its node, or `group`, the
// one that usually owns such nodes, when the node's group cannot be told.
Message BusyAdvice(const std::string &name, const std::string &node, const char *group);

}  // namespace velloran::cli
