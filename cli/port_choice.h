// The COM port number for the serial link, from --port or, without it, the
// first free port.
#pragma once

#include <optional>
#include <string>

namespace velloran::cli {

struct PortChoice {
  unsigned number = 0;  // COMn; 0 when none could be chosen
  std::string error;    // why not, as a usage error
};

// "COMn", "\\.\COMn", "n" (1 … 1024), or a device node that a COM name leads
// to (the default table or VELLORAN_DEVICE_MAP).
PortChoice ParsePortArgument(const std::string &text);

// The serial port to use: the argument's, or the lowest free COM port.
PortChoice ChooseComPort(const std::optional<std::string> &argument);

}  // namespace velloran::cli
