// The messages about ports that cannot be used.
#include "port_advice.h"

#include "printable_text.h"

namespace velloran::cli {
namespace {

using platform::NodeDiagnosis;
using platform::NodeVerdict;

Message Missing(const std::string &name, const NodeDiagnosis &diagnosis) {
  const std::string port = PrintableText(name);
  const std::string node = PrintableText(diagnosis.node);
  if (diagnosis.node.empty()) return CliMessage("port_missing_no_node", {{"port", port}});
  if (diagnosis.node == name) {
    return CliMessage(diagnosis.nodeExists ? "port_node_without_port" : "port_node_missing", {{"port", port}});
  }
  return CliMessage(diagnosis.nodeExists ? "port_without_uart" : "port_missing", {{"port", port}, {"node", node}});
}

Message Held(const std::string &where, const NodeDiagnosis &diagnosis) {
  if (diagnosis.holders.empty()) {
    return CliMessage("port_held_unseen", {{"where", where}, {"node", PrintableText(diagnosis.node)}});
  }
  return CliMessage("port_held", {{"where", where}, {"holders", HoldersMessage(diagnosis.holders)}});
}

Message NotPermitted(const std::string &where, const NodeDiagnosis &diagnosis, PortKind kind) {
  const std::string node = PrintableText(diagnosis.node);
  const std::string group = PrintableText(diagnosis.group);
  // Joining root's group, or one that may not write the node, is no fix.
  const bool joinHelps = diagnosis.groupWritable && diagnosis.group != "root";
  const char *id = "port_not_permitted";
  if (diagnosis.superuser) {
    id = "port_denied_to_root";
  } else if (diagnosis.memberNotInSession && joinHelps) {
    id = "port_not_permitted_relogin";
  } else if (kind == PortKind::kUsbPrinter) {
    id = joinHelps ? "usb_not_permitted_or_join" : "usb_not_permitted";
  } else if (!joinHelps) {
    id = "port_owner_only";
  }
  return CliMessage(id, {{"where", where}, {"node", node}, {"group", group}});
}

}  // namespace

Message HoldersMessage(const std::vector<platform::NodeHolder> &holders) {
  std::vector<Message> each;
  for (const platform::NodeHolder &holder : holders) {
    each.push_back(
        CliMessage("holder", {{"program", PrintableText(holder.program)}, {"pid", std::to_string(holder.pid)}}));
  }
  return MessageList(each);
}

std::string PortWithNode(const std::string &name, const std::string &node) {
  if (node.empty() || node == name) return PrintableText(name);
  return PrintableText(name) + " (" + PrintableText(node) + ")";
}

Message ExplainPort(const std::string &name, const NodeDiagnosis &diagnosis, PortKind kind) {
  const std::string where = PortWithNode(name, diagnosis.node);
  switch (diagnosis.verdict) {
    case NodeVerdict::kMissing:
    case NodeVerdict::kOpens: return Missing(name, diagnosis);
    case NodeVerdict::kNotDevice: return CliMessage("port_not_device", {{"where", where}});
    case NodeVerdict::kNotSerial: return CliMessage("port_not_serial", {{"where", where}});
    case NodeVerdict::kNotPermitted: return NotPermitted(where, diagnosis, kind);
    case NodeVerdict::kNotPrinterPort: return CliMessage("port_not_printer", {{"where", where}});
    case NodeVerdict::kHeld: return Held(where, diagnosis);
    case NodeVerdict::kFailed:
      return CliMessage("port_failed", {{"where", where}, {"error", PrintableText(diagnosis.systemText)}});
  }
  return Missing(name, diagnosis);
}

}  // namespace velloran::cli
