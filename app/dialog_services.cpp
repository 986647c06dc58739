#include "dialog_services.h"

#include "device_names.h"
#include "exchange.h"
#include "procedures.h"
#include "usb_printer_pin.h"

namespace velloran {
namespace {

// The device node a COM number opens, so that the user recognises the port;
// nothing where the node is the COM name itself.
std::string PortNodeHint(unsigned port) {
  std::string node = platform::ComPortNode(port);
  return node.rfind("\\\\.\\", 0) == 0 ? std::string() : node;
}

}  // namespace

ProcedureLauncher &DefaultProcedureLauncher() {
  static IdleThreadLauncher launcher(g_bUpgrading);
  return launcher;
}

DialogServices DefaultDialogServices() {
  DialogServices services;
  services.probe_port = ProbeComPort;
  services.describe_port = PortNodeHint;
  services.launcher = &DefaultProcedureLauncher();
  services.busy_flag = &g_bUpgrading;
  services.usb_procedure = PinnedUsbUpgradeProc;
  services.serial_procedure = ComUpgradeProc;
  services.lpt_procedure = LptUpgradeProc;
  return services;
}

}  // namespace velloran
