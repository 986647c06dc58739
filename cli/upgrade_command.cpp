// velloran-cli upgrade: announces the image, checks that the port can be
// opened, then runs the link's procedure with the tool as its main window.
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
bool CheckSerialPort(unsigned number, ConsoleReporter &reporter) {
  const std::string name = "COM" + std::to_string(number);
  const std::string node = platform::ComPortNode(number);
  switch (ProbeComPort(number)) {
    case PortState::kFree: return true;
    case PortState::kBusy: reporter.ReportError(BusyAdvice(name, node, "dialout")); break;
    case PortState::kAbsent:
      // A node can be there without a port behind it: the 8250 driver makes
      // ttyS0-ttyS3 whether or not a UART answers.
      if (node.empty()) {
        reporter.ReportError(CliMessage("port_missing_no_node", {{"port", name}}));
      } else if (std::filesystem::exists(node)) {
        reporter.ReportError(CliMessage("port_without_uart", {{"port", name}, {"node", node}}));
      } else {
        reporter.ReportError(CliMessage("port_missing", {{"port", name}, {"node", node}}));
      }
      break;
  }
  return false;
}

bool CheckParallelPort(ConsoleReporter &reporter) {
  const std::string node = platform::DeviceNodeForName("LPT1");
  switch (ProbeDevice("LPT1")) {
    case PortState::kFree: return true;
    case PortState::kBusy: reporter.ReportError(BusyAdvice("LPT1", node, "lp")); break;
    case PortState::kAbsent:
      reporter.ReportError(CliMessage("lpt_missing", {{"node_note", node.empty() ? "" : " (" + node + ")"}}));
      break;
  }
  return false;
}

bool CheckUsbPrinter(ConsoleReporter &reporter) {
  HANDLE port = OpenUsb();
  if (port != INVALID_HANDLE_VALUE) {
    CloseUsb(port);
    return true;
  }
  // The printer the search stops at is there but cannot be opened: say
  // which node, and the group that owns it.
  for (const UsbPrinterPort &printer : ListUsbPrinters()) {
    if (!printer.supported) continue;
    if (printer.state == PortState::kBusy) {
      reporter.ReportError(BusyAdvice("the USB printer", printer.node, "lp"));
      return false;
    }
    break;
  }
  reporter.ReportError(CliMessage("usb_unavailable"));
  return false;
}

// The image's facts for the summary; nullopt when it cannot be loaded (the
// procedure then says why, before it touches the printer).
std::optional<ImageFacts> ImageFactsFor(const std::string &path) {
  const ImageLoadResult loaded = LoadImageFile(path);
  if (!loaded.ok()) return std::nullopt;
  return FactsOf(path, loaded.image);
}

// Ends the output with the error just reported as the reason.
int Fail(ConsoleReporter &reporter, int status) {
  reporter.ReportResult(false);
  return status;
}

}  // namespace

int RunUpgrade(const CliOptions &options, ConsoleReporter &reporter) {
  unsigned (*procedure)(void *) = nullptr;
  std::string port;
  switch (options.link) {
    case Link::kUsb: procedure = UsbUpgradeProc; break;
    case Link::kSerial: {
      const PortChoice choice = ChooseComPort(options.port);
      if (choice.number == 0) {
        reporter.ReportError(CliMessage("bad_port", {{"detail", choice.error}}));
        return Fail(reporter, kExitUsage);
      }
      port = "COM" + std::to_string(choice.number);
      g_nComPort = static_cast<int>(choice.number);
      g_nBaudRate = 4800;  // replaced by the rate the procedure detects
      procedure = ComUpgradeProc;
      break;
    }
    case Link::kLpt:
      port = "LPT1";
      procedure = LptUpgradeProc;
      break;
  }
  // The summary comes first, so that a wrong file is seen before the
  // printer is touched.
  reporter.BeginUpgrade(options.link, port, ImageFactsFor(options.image));
  switch (options.link) {
    case Link::kUsb:
      if (!CheckUsbPrinter(reporter)) return Fail(reporter, kExitFailed);
      break;
    case Link::kSerial:
      if (!CheckSerialPort(static_cast<unsigned>(g_nComPort.load()), reporter)) return Fail(reporter, kExitFailed);
      break;
    case Link::kLpt:
      if (!CheckParallelPort(reporter)) return Fail(reporter, kExitFailed);
      break;
  }
  g_strImagePath.Set(options.image);

  SetUpgradeWindow(&reporter);
  const bool completed = procedure(nullptr) == kUpgradeCompleted;
  SetUpgradeWindow(nullptr);
  reporter.ReportResult(completed);
  return completed ? kExitOk : kExitFailed;
}

}  // namespace velloran::cli
