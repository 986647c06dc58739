#include "dialog_services.h"

#include "exchange.h"
#include "procedures.h"

namespace velloran {

ProcedureLauncher &DefaultProcedureLauncher() {
  static IdleThreadLauncher launcher(g_bUpgrading);
  return launcher;
}

DialogServices DefaultDialogServices() {
  DialogServices services;
  services.probe_port = ProbeComPort;
  services.launcher = &DefaultProcedureLauncher();
  services.busy_flag = &g_bUpgrading;
  services.usb_procedure = UsbUpgradeProc;
  services.serial_procedure = ComUpgradeProc;
  services.lpt_procedure = LptUpgradeProc;
  return services;
}

}  // namespace velloran
