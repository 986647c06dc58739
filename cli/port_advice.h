// What velloran-cli says about a port that cannot be used, from the
// diagnosis of its device node: missing, not a device, not a serial port,
// not permitted (the node's group and what helps), or held by another program
// (which one).
#pragma once

#include <string>

#include "messages.h"
#include "port_diagnosis.h"

namespace velloran::cli {

enum class PortKind { kSerial, kParallel, kUsbPrinter };

// name: how the user knows the port ("COM5", "LPT1", "the USB printer
// 067b:2305", a node given with --port); the message names the node beside it.
Message ExplainPort(const std::string &name, const platform::NodeDiagnosis &diagnosis, PortKind kind);

// "velloran-cli (process 4711), minicom (process 4712)".
Message HoldersMessage(const std::vector<platform::NodeHolder> &holders);

// "COM5 (/dev/ttyS4)", or the name alone when it has no node or is the node;
// control characters escaped.
std::string PortWithNode(const std::string &name, const std::string &node);

}  // namespace velloran::cli
