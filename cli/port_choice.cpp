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
    choice.error = CliMessage("bad_port_syntax", {{"port", PrintableText(text)}});
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
  for (const PresentPort &port : ListComPorts()) {
    if (port.state == PortState::kFree) return {port.number, port.node, std::nullopt, false};
  }
  PortChoice none;
  none.error = CliMessage("no_free_port");
  return none;
}

}  // namespace velloran::cli
