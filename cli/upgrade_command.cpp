// velloran-cli upgrade: checks that the port can be opened, then runs the
// link's procedure with the tool as its main window.
#include <filesystem>
#include <string>

#include "app_values.h"
#include "commands.h"
#include "console_reporter.h"
#include "corvalink.h"
#include "device_names.h"
#include "port_choice.h"
#include "port_probe.h"
#include "procedures.h"

namespace velloran::cli {
namespace {

// The serial procedure reports a port it cannot open only as "no printer
// found" after trying every rate; say what is wrong before it starts.
bool CheckSerialPort(unsigned number, std::ostream &err) {
  const std::string name = "COM" + std::to_string(number);
  const std::string node = platform::ComPortNode(number);
  switch (ProbeComPort(number)) {
    case PortState::kFree: return true;
    case PortState::kBusy: err << "velloran-cli: " << BusyAdvice(name, node, "dialout") << "\n"; break;
    case PortState::kAbsent:
      // A node can be there without a port behind it: the 8250 driver makes
      // ttyS0-ttyS3 whether or not a UART answers.
      err << "velloran-cli: " << name << " does not exist"
          << (node.empty()                    ? std::string(" (it has no device node)")
              : std::filesystem::exists(node) ? " (" + node + " has no port behind it)"
                                              : " (no device node " + node + ")")
          << "; see velloran-cli ports\n";
      break;
  }
  return false;
}

bool CheckParallelPort(std::ostream &err) {
  const std::string node = platform::DeviceNodeForName("LPT1");
  switch (ProbeDevice("LPT1")) {
    case PortState::kFree: return true;
    case PortState::kBusy: err << "velloran-cli: " << BusyAdvice("LPT1", node, "lp") << "\n"; break;
    case PortState::kAbsent:
      err << "velloran-cli: there is no parallel port LPT1" << (node.empty() ? "" : " (" + node + ")") << "\n";
      break;
  }
  return false;
}

bool CheckUsbPrinter(std::ostream &err) {
  HANDLE port = OpenUsb();
  if (port != INVALID_HANDLE_VALUE) {
    CloseUsb(port);
    return true;
  }
  err << "velloran-cli: no USB printer could be opened. Either none of a supported maker is\n"
         "  attached and switched on, or another program holds it, or you may not open its\n"
         "  node /dev/usb/lpN: such nodes belong to the group 'lp', so run\n"
         "    sudo usermod -aG lp $USER\n"
         "  and log in again.\n";
  return false;
}

}  // namespace

int RunUpgrade(const CliOptions &options, std::ostream &out, std::ostream &err, bool barWanted) {
  unsigned (*procedure)(void *) = nullptr;
  switch (options.link) {
    case Link::kUsb:
      if (!CheckUsbPrinter(err)) return kExitFailed;
      procedure = UsbUpgradeProc;
      break;
    case Link::kSerial: {
      const PortChoice port = ChooseComPort(options.port);
      if (port.number == 0) {
        err << "velloran-cli: " << port.error << "\n";
        return kExitUsage;
      }
      if (!CheckSerialPort(port.number, err)) return kExitFailed;
      g_nComPort = static_cast<int>(port.number);
      g_nBaudRate = 4800;  // replaced by the rate the procedure detects
      procedure = ComUpgradeProc;
      break;
    }
    case Link::kLpt:
      if (!CheckParallelPort(err)) return kExitFailed;
      procedure = LptUpgradeProc;
      break;
  }
  g_strImagePath.Set(options.image);

  ConsoleReporter reporter(out, options.json ? OutputStyle::kJson
                                             : (barWanted ? OutputStyle::kTextWithBar : OutputStyle::kText));
  SetUpgradeWindow(&reporter);
  const bool completed = procedure(nullptr) == kUpgradeCompleted;
  SetUpgradeWindow(nullptr);
  reporter.ReportResult(completed);
  return completed ? kExitOk : kExitFailed;
}

}  // namespace velloran::cli
