// The serial port for the upgrade, from --port or, without it, the only
// serial port present.
#pragma once

#include <optional>
#include <string>

#include "messages.h"

namespace velloran::cli {

struct PortChoice {
  unsigned number = 0;           // COMn; 0 when none could be chosen
  std::string node;              // a device node given with --port, or the node of COMn
  std::optional<Message> error;  // why none could be chosen
  bool usageError = false;       // the argument is malformed, or wanted among several ports
};

// "COMn", "\\.\COMn" or "n" (n from 1 to 1024, written without leading
// zeros, one rule for all three forms), or a device node: any path that
// starts with '/'. A node without a COM name gets one (see
// platform::ComNumberLeadingTo) when the port is chosen.
PortChoice ParsePortArgument(const std::string &text);

// The serial port to use: the argument's, or the only one present (with
// several, none: the user names one; a usage error).
PortChoice ChooseComPort(const std::optional<std::string> &argument);

}  // namespace velloran::cli
