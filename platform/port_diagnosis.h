// Whether a port's device node can be used, and if not why, found out as a
// technician would with ls -l, fuser and id: missing, not a device, not the
// kind of device the link needs, not permitted to this user (and which group
// owns it), held by another program (and which one, where /proc shows it),
// or an error of the system's, kept with its own text. The one verdict that
// the port listings and the upgrade's check share.
#pragma once

#include <string>
#include <vector>

namespace velloran::platform {

enum class NodeVerdict {
  kOpens,           // nothing stands in the way
  kMissing,         // no such node, or no port behind it (nodeExists tells)
  kNotDevice,       // a plain file or a folder
  kNotSerial,       // a device, but no terminal (serial) device
  kNotPrinterPort,  // a device, but neither a printer port nor a terminal
  kNotPermitted,    // the node's permissions keep this user out
  kHeld,            // another program has it open or holds it exclusively
  kFailed,          // the system refused it otherwise: see error and systemText
};

// A port is there (usable or not) unless its node is missing or a plain
// file or folder.
inline bool NodePresent(NodeVerdict verdict) {
  return verdict != NodeVerdict::kMissing && verdict != NodeVerdict::kNotDevice;
}

// What the node must be for its link.
enum class NodeUse {
  kSerial,   // a terminal device
  kPrinter,  // an lp or usblp node, or a terminal (a simulated printer)
};

struct NodeHolder {
  int pid = 0;
  std::string program;  // its command name
  bool farEnd = false;  // it holds the other side of the pseudo-terminal
};

struct NodeDiagnosis {
  NodeVerdict verdict = NodeVerdict::kOpens;
  std::string node;
  bool nodeExists = false;
  std::vector<NodeHolder> holders;  // for kHeld: the processes that have the node open
  std::string group;                // the node's owner group
  bool groupWritable = false;       // members of that group may write it
  bool memberNotInSession = false;  // the user is a member, but this login lacks the group
  bool superuser = false;
  int error = 0;                    // for kFailed: the system's error number
  std::string systemText;           // and its text
};

// Examines node (links followed) for its use. Opens the node for a moment
// when its permissions allow it, without changing its settings; looks for
// other openers only where the node opens (a program that took no lock is
// seen only there) or is held.
NodeDiagnosis DiagnoseNode(const std::string &node, NodeUse use);

}  // namespace velloran::platform
