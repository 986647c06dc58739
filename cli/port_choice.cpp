// Resolving --port to a COM number.
#include "port_choice.h"

#include <algorithm>
#include <cctype>

#include "device_names.h"
#include "port_probe.h"

namespace velloran::cli {
namespace {

constexpr unsigned kHighestComPort = 1024;

bool AllDigits(const std::string &text) {
  return !text.empty() && text.size() <= 5 &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

}  // namespace

PortChoice ParsePortArgument(const std::string &text) {
  unsigned number = 0;
  if (AllDigits(text)) {
    number = static_cast<unsigned>(std::stoul(text));
  } else if (!text.empty() && text[0] == '/') {
    number = platform::ComNumberForNode(text);
    if (number == 0) {
      return {0, "no COM name leads to " + text +
                     "; name it in VELLORAN_DEVICE_MAP (for example VELLORAN_DEVICE_MAP=COM5=" + text +
                     ") and give --port COM5"};
    }
  } else {
    number = platform::ComNumberFromName(text);
  }
  if (number < 1 || number > kHighestComPort) {
    return {0, "bad port '" + text + "': give COMn or n (1 to 1024) or a device node such as /dev/ttyUSB0"};
  }
  return {number, {}};
}

PortChoice ChooseComPort(const std::optional<std::string> &argument) {
  if (argument) return ParsePortArgument(*argument);
  for (const PresentPort &port : ListComPorts()) {
    if (port.state == PortState::kFree) return {port.number, {}};
  }
  return {0, "no free COM port found; give the printer's port with --port"};
}

}  // namespace velloran::cli
