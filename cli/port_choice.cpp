// Resolving --port to a COM number and its node.
#include "port_choice.h"

#include "device_name_syntax.h"
#include "device_names.h"
#include "port_probe.h"
#include "printable_text.h"

namespace velloran::cli {

PortChoice ParsePortArgument(const std::string &text) {
  PortChoice choice;
  if (!text.empty() && text[0] == '/') {
    choice.node = text;
    choice.number = platform::ComNumberForNode(text);
    return choice;
  }
  const auto digits = platform::device_syntax::ParseNumber(text, platform::device_syntax::kLargestPortNumber);
  choice.number = digits ? *digits : platform::ComNumberFromName(text);
  if (choice.number == 0) {
    choice.error = CliMessage("bad_port_syntax", {{"port", PrintableText(text)},
                                                   {"largest", std::to_string(platform::device_syntax::kLargestPortNumber)}});
    choice.usageError = true;
    return choice;
  }
  choice.node = platform::ComPortNode(choice.number);
  return choice;
}

PortChoice ChooseComPort(const std::optional<std::string> &argument) {
  if (argument) {
    PortChoice choice = ParsePortArgument(*argument);
    if (choice.number == 0 && !choice.usageError) {
      choice.number = platform::ComNumberLeadingTo(choice.node);
      if (choice.number == 0) choice.error = CliMessage("port_unmappable", {{"node", PrintableText(choice.node)}});
    }
    return choice;
  }
  // Boot-loader frames must not go to whatever else hangs on a serial port
  // (the machine's console, a modem): only a port that is the one present
  // is taken without being named. A busy one is taken too, so that the
  // check says why it cannot be used.
  const std::vector<PresentPort> present = ListComPorts();
  if (present.size() == 1) return {present[0].number, present[0].diagnosis.node, std::nullopt, false};
  if (present.empty()) return {0, {}, CliMessage("no_free_port"), false};
  std::vector<Message> names;
  for (const PresentPort &port : present) names.push_back({"", port.name, port.name});
  return {0, {}, CliMessage("several_serial_ports", {{"ports", MessageList(names)}}), true};
}

}  // namespace velloran::cli
