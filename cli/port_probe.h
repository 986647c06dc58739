// Which ports exist and whether they can be used now, by the one probe that
// the upgrade's check and the dialog's port list also use
// (platform::DiagnoseNode).
#pragma once

#include <string>
#include <vector>

#include "port_diagnosis.h"

namespace velloran::cli {

enum class PortState { kAbsent, kFree, kBusy };

// Absent: no node or no port behind it, or a plain file; free: it opens;
// busy: anything else that keeps it from being used (the verdict says what).
PortState StateOf(const platform::NodeDiagnosis &diagnosis);

// The diagnosis of a port's node; an empty node is a port without one.
platform::NodeDiagnosis ProbeNode(const std::string &node, platform::NodeUse use);

// A device by name ("LPT1", a device path of a USB printer) or node.
PortState ProbeDevice(const std::string &name, platform::NodeUse use);

struct PresentPort {
  std::string name;  // "COM5", "LPT1"
  unsigned number;
  platform::NodeDiagnosis diagnosis;  // its node and verdict
  PortState state() const { return StateOf(diagnosis); }
};

// COM1 … COM255, those present.
std::vector<PresentPort> ListComPorts();

// LPT1 … LPT9, those present.
std::vector<PresentPort> ListParallelPorts();

}  // namespace velloran::cli
