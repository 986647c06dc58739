// Why a port's device node cannot be opened, found out as a technician would
// with ls -l, fuser and id: missing, not a device, not a serial device, not
// permitted to this user (and which group owns it), or held by another
// program (and which one, where /proc shows it).
#pragma once

#include <string>
#include <vector>

namespace velloran::platform {

enum class NodeVerdict {
  kOpens,         // nothing stands in the way
  kMissing,       // no such node, or no port behind it (nodeExists tells)
  kNotDevice,     // a plain file or a folder
  kNotSerial,     // a device, but no terminal (serial) device
  kNotPermitted,  // the node's permissions keep this user out
  kHeld,          // another program holds it exclusively
};

struct NodeHolder {
  int pid = 0;
  std::string program;  // its command name
};

struct NodeDiagnosis {
  NodeVerdict verdict = NodeVerdict::kOpens;
  std::string node;
  bool nodeExists = false;
  std::vector<NodeHolder> holders;  // other processes that have the node open
  std::string group;                // the node's owner group
  bool groupWritable = false;       // members of that group may write it
  bool memberNotInSession = false;  // the user is a member, but this login lacks the group
  bool superuser = false;
};

// Examines node (links followed). wantSerial: the node must be a terminal
// device. Opens the node for a moment when its permissions allow it.
NodeDiagnosis DiagnoseNode(const std::string &node, bool wantSerial);

// The processes other than this one that have the node open, as far as this
// user may see them.
std::vector<NodeHolder> NodeHolders(const std::string &node);

}  // namespace velloran::platform
