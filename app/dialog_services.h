// What the dialog's logic uses beyond its view: the port probe, the
// procedures and how they are started, and the busy flag. The program uses
// DefaultDialogServices(); tests put fakes in their place.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "com_port_probe.h"
#include "procedure_launcher.h"

namespace velloran {

struct DialogServices {
  ComPortProber probe_port;
  // Optional: a note shown beside "COMn " in the open port list, such as the
  // device the port number stands for; empty for none.
  std::function<std::string(unsigned port)> describe_port;
  ProcedureLauncher *launcher = nullptr;
  std::atomic<int> *busy_flag = nullptr;
  UpgradeProcedure usb_procedure = nullptr;
  UpgradeProcedure serial_procedure = nullptr;
  UpgradeProcedure lpt_procedure = nullptr;
};

// The real ports, the three upgrade procedures on idle worker threads, and
// the process-wide busy flag.
DialogServices DefaultDialogServices();

// The launcher of DefaultDialogServices(): whether a procedure it started
// still runs.
ProcedureLauncher &DefaultProcedureLauncher();

}  // namespace velloran
