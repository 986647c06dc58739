// velloran-cli upgrade: chooses the port, announces the image, checks that
// the port can be used (and says why not), names it, then runs the link's
// procedure with the tool as its main window. A signal or a closed output
// stops the procedure at a frame boundary (upgrade_interruption.h).
#include <string>

#include "app_values.h"
#include "commands.h"
#include "console_reporter.h"
#include "device_names.h"
#include "port_advice.h"
#include "port_choice.h"
#include "port_claim.h"
#include "port_probe.h"
#include "procedures.h"
#include "upgrade_interruption.h"
#include "usb_printer_list.h"

namespace velloran::cli {
namespace {

// The port the upgrade uses: how the user knows it, its node, and how it is
// opened now.
struct UsedPort {
  std::string name;
  std::string node;
  PortState state = PortState::kAbsent;
  PortKind kind = PortKind::kSerial;
};

// Why no port could be chosen, and the exit status.
struct PortRefusal {
  Message message;
  int status = kExitFailed;
};

std::optional<PortRefusal> ChooseSerial(const CliOptions &options, UsedPort &used) {
  const PortChoice port = ChooseComPort(options.port);
  if (port.number == 0) return PortRefusal{*port.error, port.usageError ? kExitUsage : kExitFailed};
  // A node given with --port is named as given.
  const bool nodeGiven = options.port && !options.port->empty() && options.port->front() == '/';
  used.name = nodeGiven ? *options.port : "COM" + std::to_string(port.number);
  used.node = platform::ComPortNode(port.number);
  used.state = ProbeComPort(port.number);
  used.kind = PortKind::kSerial;
  g_nComPort = static_cast<int>(port.number);
  g_nBaudRate = 4800;  // replaced by the rate the procedure detects
  return std::nullopt;
}

std::optional<PortRefusal> ChooseUsb(UsedPort &used) {
  const std::vector<ListedUsbPrinter> printers = ListUsbPrinters();
  const ListedUsbPrinter *chosen = ChosenUsbPrinter(printers);
  if (chosen == nullptr) return PortRefusal{CliMessage(printers.empty() ? "usb_none_attached" : "usb_none_supported")};
  used = {"USB " + chosen->vendorId + ":" + chosen->productId, chosen->node, ProbeDevice(chosen->devicePath),
          PortKind::kUsbPrinter};
  return std::nullopt;
}

platform::NodeDiagnosis Diagnose(const UsedPort &used) {
  platform::NodeDiagnosis diagnosis;
  diagnosis.node = used.node;
  diagnosis.verdict = platform::NodeVerdict::kMissing;
  if (used.node.empty()) return diagnosis;
  diagnosis = platform::DiagnoseNode(
      used.node, used.kind == PortKind::kSerial ? platform::NodeUse::kSerial : platform::NodeUse::kPrinter);
  // A claim that failed after a diagnosis found nothing: another program
  // took the port in between.
  if (diagnosis.verdict == platform::NodeVerdict::kOpens) diagnosis.verdict = platform::NodeVerdict::kHeld;
  return diagnosis;
}

// Opens the port the way the procedure will; when that fails, the node's
// diagnosis says why. A serial port must also be a terminal device.
std::optional<Message> CheckPort(const UsedPort &used) {
  platform::NodeDiagnosis diagnosis;
  diagnosis.node = used.node;
  diagnosis.verdict = platform::NodeVerdict::kMissing;
  if (!used.node.empty()) diagnosis = platform::DiagnoseNode(
      used.node, used.kind == PortKind::kSerial ? platform::NodeUse::kSerial : platform::NodeUse::kPrinter);
  const bool opens =
      diagnosis.verdict == platform::NodeVerdict::kOpens || diagnosis.verdict == platform::NodeVerdict::kHeld;
  if (used.state == PortState::kFree && opens) return std::nullopt;
  if (diagnosis.verdict == platform::NodeVerdict::kOpens) {
    diagnosis.verdict =
        used.state == PortState::kAbsent ? platform::NodeVerdict::kMissing : platform::NodeVerdict::kHeld;
  }
  return ExplainPort(used.name, diagnosis, used.kind);
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
  ResetUpgradeInterruption();
  const UpgradeRunning running;
  unsigned (*procedure)(void *) = nullptr;
  UsedPort used;
  std::optional<PortRefusal> refusal;
  switch (options.link) {
    case Link::kUsb:
      refusal = ChooseUsb(used);
      procedure = UsbUpgradeProc;
      break;
    case Link::kSerial:
      refusal = ChooseSerial(options, used);
      procedure = ComUpgradeProc;
      break;
    case Link::kLpt:
      used = {"LPT1", platform::DeviceNodeForName("LPT1"), ProbeDevice("LPT1"), PortKind::kParallel};
      procedure = LptUpgradeProc;
      break;
  }
  if (refusal) {
    reporter.ReportError(refusal->message);
    return Fail(reporter, refusal->status);
  }
  // The summary comes first, so that a wrong file is seen before the
  // printer is touched.
  reporter.BeginUpgrade(options.link, used.kind == PortKind::kUsbPrinter ? used.node : used.name,
                        ImageFactsFor(options.image));
  if (const std::optional<Message> problem = CheckPort(used)) {
    reporter.ReportError(*problem);
    return Fail(reporter, kExitFailed);
  }
  // The serial procedure closes its port for the pause after the boot
  // switch and opens it again: the claim keeps it this upgrade's meanwhile.
  std::optional<platform::PortClaim> claim;
  if (used.kind == PortKind::kSerial) {
    claim.emplace(used.node);
    if (!claim->held()) {
      reporter.ReportError(ExplainPort(used.name, Diagnose(used), used.kind));
      return Fail(reporter, kExitFailed);
    }
  }
  reporter.ReportNote(CliMessage("port_used", {{"port", PortWithNode(used.name, used.node)}}));
  g_strImagePath.Set(options.image);

  SetUpgradeWindow(&reporter);
  const bool completed = procedure(nullptr) == kUpgradeCompleted;
  SetUpgradeWindow(nullptr);
  if (!completed && UpgradeStopCause() != StopCause::kNone) {
    const StopReport report = DescribeStop(UpgradeStopCause(), ReachedSoFar());
    reporter.ReportStopped(report.line, report.reason, report.printerState);
    NoteStopEndedUpgrade();
    return report.exitStatus;
  }
  reporter.ReportResult(completed);
  return completed ? kExitOk : kExitFailed;
}

}  // namespace velloran::cli
