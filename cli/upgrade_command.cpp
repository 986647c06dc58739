// velloran-cli upgrade: chooses the port, announces the image, checks that
// the port can be used (and says why not), names it, then runs the link's
// procedure with the tool as its main window. A signal or a closed output
// stops the procedure at a frame boundary (upgrade_interruption.h).
#include <chrono>
#include <string>

#include "app_values.h"
#include "image.h"
#include "commands.h"
#include "console_reporter.h"
#include "baud_detection.h"
#include "device_names.h"
#include "fleet_worker.h"
#include "port_advice.h"
#include "port_choice.h"
#include "port_claim.h"
#include "port_probe.h"
#include "printable_text.h"
#include "printer_target.h"
#include "procedures.h"
#include "upgrade_interruption.h"
#include "upgrade_record.h"
#include "upgrade_target.h"
#include "usb_printer_pin.h"

namespace velloran::cli {
namespace {

// The printer of --port (or the link's default) and its state now; for a
// serial port also the process values the serial procedure reads.
std::optional<PortRefusal> ChoosePort(const CliOptions &options, UsedPort &used, PrinterTarget &target,
                                      std::vector<std::string> &othersAttached) {
  const TargetChoice choice = ResolvePrinterTarget(options.link, options.port);
  if (!choice.target) return PortRefusal{*choice.error, choice.usageError ? kExitUsage : kExitFailed};
  target = *choice.target;
  othersAttached = choice.othersAttached;
  used.id = target.id;
  used.serialNumber = target.serialNumber;
  used.name = target.display;
  used.node = target.node;
  switch (options.link) {
    case Link::kUsb:
      used.kind = PortKind::kUsbPrinter;
      break;
    case Link::kSerial:
      used.kind = PortKind::kSerial;
      g_nComPort = static_cast<int>(target.comNumber);
      g_nBaudRate = 4800;  // replaced by the rate the procedure detects
      break;
    case Link::kLpt:
      used.kind = PortKind::kParallel;
      g_strLptPort.Set(target.lptName);
      break;
  }
  return std::nullopt;
}

// Why a claim failed after the check found the port usable: the probe's
// verdict, or (nothing found) another program that took it in between.
Message ClaimRefused(const UsedPort &used) {
  if (std::optional<Message> problem = CheckPort(used)) return *problem;
  platform::NodeDiagnosis diagnosis;
  diagnosis.node = used.node;
  diagnosis.verdict = platform::NodeVerdict::kHeld;
  return ExplainPort(used.name, diagnosis, used.kind);
}

}  // namespace

// By the same probe as `ports`: a serial port must be a terminal device, a
// printer port an lp or usblp node or a terminal, and no other program may
// have it open.
std::optional<Message> CheckPort(const UsedPort &used) {
  const platform::NodeDiagnosis diagnosis = ProbeNode(used.node, used.use());
  if (diagnosis.verdict == platform::NodeVerdict::kOpens) return std::nullopt;
  return ExplainPort(used.name, diagnosis, used.kind);
}

std::optional<PortRefusal> ChooseTarget(const CliOptions &options, UsedPort &used) {
  PrinterTarget target;
  std::vector<std::string> othersAttached;
  return ChoosePort(options, used, target, othersAttached);
}

std::optional<Message> SamePrinterTwice(const std::vector<std::string> &values, const std::vector<std::string> &ids,
                                        const std::vector<std::string> &nodes) {
  for (size_t i = 0; i < ids.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (ids[i] == ids[j] || (!nodes[i].empty() && nodes[i] == nodes[j])) {
        return CliMessage("bad_usage", {{"detail", "--port " + PrintableText(values[j]) + " and --port " +
                                                       PrintableText(values[i]) + " name the same printer"}});
      }
    }
  }
  return std::nullopt;
}

namespace {

// Reports the error and ends the output with it as the reason.
int Fail(ConsoleReporter &reporter, const Message &error, int status) {
  reporter.ReportError(error);
  reporter.ReportResult(false);
  return status;
}

}  // namespace

int RunUpgrade(const CliOptions &options, ConsoleReporter &reporter) {
  ResetUpgradeInterruption();
  SetInterruptionLanguage(options.language.value_or(LanguageFromEnvironment()));
  if (options.asTarget) ListenForStopRequests();
  const UpgradeRunning running;
  g_nPreferredBaudRate = static_cast<int>(options.baud);
  UsedPort used;
  PrinterTarget target;
  std::vector<std::string> othersAttached;
  const std::optional<PortRefusal> refusal = ChoosePort(options, used, target, othersAttached);
  if (refusal && refusal->status == kExitUsage) return Fail(reporter, refusal->message, refusal->status);
  // The record is kept by the supervisor when this is one of its workers.
  const bool recorded = options.record && !options.asTarget;
  if (const std::optional<Message> refused = recorded ? RecordRefusal(*options.record) : std::nullopt) {
    return Fail(reporter, *refused, kExitFailed);
  }
  if (!refusal) reporter.SetTarget(options.asTarget.value_or(used.id));
  // The image is read once: the summary describes the bytes the procedure
  // sends. It comes first, so that a wrong file is seen before the printer
  // is touched; one that cannot be loaded has no summary (the procedure says
  // why, before it touches the printer).
  const ImageLoadResult image = LoadImageFile(options.image);
  std::optional<ImageFacts> facts;
  if (image.ok()) facts = FactsOf(options.image, image.image);
  reporter.BeginUpgrade(options.link, used.kind == PortKind::kUsbPrinter ? used.node : used.name, facts);
  // A port that cannot be chosen (no USB printer, say) is told after the
  // summary too.
  if (refusal) return Fail(reporter, refusal->message, refusal->status);
  if (const std::optional<Message> problem = CheckPort(used)) return Fail(reporter, *problem, kExitFailed);
  // The serial procedure closes its port for the pause after the boot
  // switch and opens it again: the claim keeps it this upgrade's meanwhile.
  std::optional<platform::PortClaim> claim;
  if (used.kind == PortKind::kSerial) {
    claim.emplace(used.node);
    if (!claim->held()) return Fail(reporter, ClaimRefused(used), kExitFailed);
  }
  reporter.ReportNote(CliMessage("port_used", {{"port", PortWithNode(used.name, used.node)}}));
  if (!othersAttached.empty()) {
    std::vector<Message> others;
    for (const std::string &id : othersAttached) {
      const std::string shown = PrintableText(id);
      others.push_back({"", shown, shown});
    }
    reporter.ReportNote(
        CliMessage("usb_others_attached", {{"chosen", PrintableText(target.id)}, {"others", MessageList(others)}}));
  }
  // Every open of the USB procedure keeps to the printer chosen here.
  std::optional<UsbPrinterPin> pin;
  if (options.link == Link::kUsb) pin.emplace(target.usbPortPath);

  const auto start = std::chrono::system_clock::now();
  SetUpgradeWindow(&reporter);
  unsigned (*const procedure)(void *) = options.link == Link::kUsb      ? UsbUpgradeProc
                                        : options.link == Link::kSerial ? ComUpgradeProc
                                                                        : LptUpgradeProc;
  const bool completed = procedure(const_cast<ImageLoadResult *>(&image)) == kUpgradeCompleted;
  SetUpgradeWindow(nullptr);
  int status = completed ? kExitOk : kExitFailed;
  const std::optional<StopSignal> stop = completed ? std::nullopt : UpgradeStopCause();
  if (stop) {
    const StopReport report = DescribeStop(*stop, ReachedSoFar());
    reporter.ReportStopped(report.line, report.reason, report.printerState);
    NoteStopEndedUpgrade();
    status = report.exitStatus;
  } else {
    reporter.ReportResult(completed);
  }
  if (recorded) {
    const ConsoleReporter::Outcome outcome = reporter.Result();
    UpgradeRecord record;
    record.start = start;
    record.end = std::chrono::system_clock::now();
    record.image = options.image;
    if (facts) record.sha256 = facts->sha256, record.version = facts->VersionText();
    record.target = used.id;
    if (!target.serialNumber.empty()) record.serialNumber = target.serialNumber;
    record.link = options.link;
    record.result = completed ? "completed" : stop ? "stopped" : "failed";
    if (!completed) record.reason = outcome.reason;
    record.bytes = outcome.bytesSent;
    record.durationMs = outcome.durationMs;
    if (const std::optional<Message> refused = AppendUpgradeRecord(*options.record, record)) {
      reporter.ReportError(*refused);
      if (status == kExitOk) status = kExitFailed;
    }
  }
  return status;
}

}  // namespace velloran::cli
