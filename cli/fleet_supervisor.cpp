// The fleet's supervisor: starts the workers (at most --jobs at once),
// reads their events on a thread per pipe, forwards a stop to each running
// worker once, and ends with each printer's result.
#include "fleet_supervisor.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "child_process.h"
#include "fleet_view.h"
#include "fleet_worker.h"
#include "image_facts.h"
#include "narrow_text.h"
#include "printable_text.h"
#include "printer_target.h"
#include "progress_band.h"
#include "upgrade_interruption.h"
#include "upgrade_record.h"
#include "upgrade_target.h"

namespace velloran::cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTick = std::chrono::milliseconds(250);

// A line from a worker: index of its printer; output or error; "ended"
// when that pipe reached its end.
struct WorkerLine {
  size_t index;
  bool error;
  bool ended;
  std::string text;
};

class LineQueue {
 public:
  void Push(WorkerLine line) {
    {
      std::lock_guard lock(mutex_);
      lines_.push_back(std::move(line));
    }
    wake_.notify_one();
  }
  // Waits at most timeout for lines; returns those there.
  std::deque<WorkerLine> Take(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, timeout, [this] { return !lines_.empty(); });
    std::deque<WorkerLine> taken;
    taken.swap(lines_);
    return taken;
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<WorkerLine> lines_;
};

struct Worker {
  std::unique_ptr<platform::ChildProcess> process;
  std::thread output, errors;
  int pipesEnded = 0;  // the worker is done when both have
  bool stopSent = false;
};

// Reads one of a worker's pipes into lines.
void ReadLines(platform::ChildProcess &process, bool error, size_t index, LineQueue &queue) {
  std::string pending;
  char buffer[4096];
  for (;;) {
    const size_t got = error ? process.ReadErrors(buffer, sizeof buffer) : process.ReadOutput(buffer, sizeof buffer);
    if (got == 0) break;
    pending.append(buffer, got);
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
      // A Windows worker's text output ends its lines with CR LF.
      const size_t length = end > 0 && pending[end - 1] == '\r' ? end - 1 : end;
      queue.Push({index, error, false, pending.substr(0, length)});
      pending.erase(0, end + 1);
    }
  }
  if (!pending.empty()) queue.Push({index, error, false, pending});
  queue.Push({index, error, true, {}});
}

std::vector<std::string> WorkerArguments(const CliOptions &options, const OutputSettings &settings,
                                         const FleetPrinter &printer) {
  std::vector<std::string> args = {platform::OwnProgramPath(), "upgrade", "--link", LinkName(options.link),
                                   "--port", printer.port, "--json", "--as-target", printer.target,
                                   "--lang", settings.language == Language::kChinese ? "zh" : "en"};
  if (options.baud != 0) args.insert(args.end(), {"--baud", std::to_string(options.baud)});
  args.push_back(options.image);
  return args;
}

bool IsStopReason(const std::string &reason) {
  return reason == "interrupted" || reason == "terminated" || reason == "hung_up" || reason == "output_closed";
}

// A failure whose result does not name the printer's state: the furthest
// phase tells it, erring towards the worse state.
const char *StateByPhase(const FleetPrinter &printer) {
  return PrinterStateName(printer.furthest >= UpgradePhase::kErase  ? UpgradeReach::kFlash
                          : printer.furthest >= UpgradePhase::kBoot ? UpgradeReach::kBootMode
                                                                    : UpgradeReach::kNothingSent);
}

// The printer's state from its worker's event.
void TakeEvent(FleetPrinter &printer, const Json &event) {
  printer.lastEvent = Clock::now();
  const std::string phase = event.value("phase", "");
  for (int p = 0; p <= static_cast<int>(UpgradePhase::kFinish); ++p) {
    if (phase == PhaseName(static_cast<UpgradePhase>(p))) printer.phase = static_cast<UpgradePhase>(p);
  }
  printer.furthest = std::max(printer.furthest, printer.phase);
  // A failed one's bar stays where its last line put it.
  if (event.value("event", "") != "result") {
    printer.elapsedMs = event.value("elapsed_ms", 0.0);
    if (event.contains("eta_ms")) printer.etaMs = event.value("eta_ms", 0.0);
  }
  if (const std::optional<BarState> bar = BarStateForCode(event.value("code", -1))) printer.band = bar->band;
  if (event.contains("packet")) printer.packet = event.value("packet", 0ull);
  if (event.contains("bytes_sent")) printer.bytesSent = event.value("bytes_sent", 0ull);
  if (event.contains("bytes_total")) printer.bytesTotal = event.value("bytes_total", 0ull);
  if (event.value("event", "") == "stopped" || (event.value("event", "") == "result" && event.contains("printer") &&
                                                 event["printer"].is_string())) {
    printer.printerState = event.value("printer", "");
  }
  if (event.value("event", "") != "result") return;
  printer.result = event;
  const bool ok = event.value("ok", false);
  printer.reason = event.contains("reason") && event["reason"].is_string() ? event["reason"].get<std::string>() : "";
  printer.outcome = ok ? FleetOutcome::kCompleted : IsStopReason(printer.reason) ? FleetOutcome::kStopped
                                                                               : FleetOutcome::kFailed;
  printer.durationMs = event.value("duration_ms", 0ll);
  printer.zh = platform::Utf8ToNarrowText(event.value("text", ""));
  printer.en = platform::Utf8ToNarrowText(event.value("en", ""));
  if (!ok && printer.printerState.empty()) printer.printerState = StateByPhase(printer);
}

Message Closing(const std::vector<FleetPrinter> &printers, bool stopped, double elapsedMs) {
  size_t completed = 0;
  for (const FleetPrinter &printer : printers) completed += printer.outcome == FleetOutcome::kCompleted;
  const std::string count = std::to_string(printers.size());
  const std::string seconds = SecondsText(elapsedMs);
  if (stopped) {
    return CliMessage("fleet_stopped", {{"completed", std::to_string(completed)}, {"count", count},
                                        {"seconds", seconds}});
  }
  if (completed == printers.size()) return CliMessage("fleet_completed", {{"count", count}, {"seconds", seconds}});
  return CliMessage("fleet_failed", {{"failed", std::to_string(printers.size() - completed)}, {"count", count},
                                     {"seconds", seconds}});
}

}  // namespace

int RunFleet(const CliOptions &options, std::ostream &out, std::ostream &err, const OutputSettings &settings) {
  const auto start = Clock::now();
  ResetUpgradeInterruption();
  const UpgradeRunning running;

  // Every printer's id and node, and no printer twice ("7" and "COM7").
  // A refusal before any worker starts ends the output as a single upgrade's does.
  const auto refuse = [&](const Message &why, int status, std::string_view reason = {}) {
    ConsoleReporter reporter(out, err, settings);
    reporter.ReportError(why);
    reporter.ReportResult(false, reason);
    return status;
  };
  std::vector<FleetPrinter> printers;
  const std::vector<std::string> ports = options.all ? UpgradableUsbPrinterIds() : options.ports;
  if (ports.empty()) return refuse(CliMessage("usb_none_attached"), kExitFailed);
  for (const std::string &port : ports) {
    CliOptions one = options;
    one.port = port;
    UsedPort used;
    FleetPrinter printer;
    printer.port = port;
    printer.target = port;
    if (!ChooseTarget(one, used)) printer.target = used.id, printer.node = used.node, printer.serialNumber = used.serialNumber;
    printers.push_back(std::move(printer));
  }
  std::vector<std::string> values, ids, nodes;
  for (const FleetPrinter &printer : printers) {
    values.push_back(printer.port), ids.push_back(printer.target), nodes.push_back(printer.node);
  }
  if (const std::optional<Message> twice = SamePrinterTwice(values, ids, nodes)) {
    return refuse(*twice, kExitUsage, "bad_usage");
  }
  if (const std::optional<Message> refused = options.record ? RecordRefusal(*options.record) : std::nullopt) {
    return refuse(*refused, kExitFailed);
  }

  // The summary before any worker starts, once for all of them.
  const ImageLoadResult loaded = LoadImageFile(options.image);
  std::optional<ImageFacts> facts;
  if (loaded.ok()) facts = FactsOf(options.image, loaded.image);
  if (!settings.json) {
    ConsoleReporter summary(out, err, settings);
    summary.BeginUpgrade(options.link, "", facts);
  }

  FleetView view(out, err, settings, options.link, printers);
  LineQueue queue;
  std::vector<Worker> workers(printers.size());
  const size_t jobs = options.jobs == 0 ? printers.size() : std::min<size_t>(options.jobs, printers.size());
  size_t next = 0, active = 0;
  bool stopForwarded = false;

  const auto record = [&](const FleetPrinter &printer) {
    if (!options.record) return;
    UpgradeRecord line;
    line.start = printer.startedAt;
    line.end = printer.endedAt;
    line.image = options.image;
    if (facts) line.sha256 = facts->sha256, line.version = facts->VersionText();
    line.target = printer.target;
    if (!printer.serialNumber.empty()) line.serialNumber = printer.serialNumber;
    line.link = options.link;
    line.result = OutcomeName(printer.outcome);
    if (!printer.reason.empty()) line.reason = printer.reason;
    line.bytes = printer.bytesSent;
    line.durationMs = printer.durationMs;
    if (const std::optional<Message> refused = AppendUpgradeRecord(*options.record, line)) {
      view.OnPrinterNote(static_cast<size_t>(&printer - printers.data()), *refused);
    }
  };

  const auto startNext = [&] {
    const size_t index = next++;
    FleetPrinter &printer = printers[index];
    printer.started = printer.lastEvent = Clock::now();
    printer.startedAt = std::chrono::system_clock::now();
    std::string error;
    workers[index].process = platform::ChildProcess::Start(WorkerArguments(options, settings, printer), &error);
    if (!workers[index].process) {
      printer.outcome = FleetOutcome::kFailed;
      printer.reason = "worker_not_started";
      const Message why = CliMessage("worker_not_started", {{"detail", error}});
      printer.zh = why.zh, printer.en = why.en;
      printer.endedAt = printer.startedAt;
      view.OnPrinterNote(index, why);
      record(printer);
      return;
    }
    printer.outcome = FleetOutcome::kRunning;
    ++active;
    platform::ChildProcess &process = *workers[index].process;
    workers[index].output = std::thread(ReadLines, std::ref(process), false, index, std::ref(queue));
    workers[index].errors = std::thread(ReadLines, std::ref(process), true, index, std::ref(queue));
    // A stop asked for already reaches this one too.
    if (stopForwarded) {
      workers[index].stopSent = process.WriteInput(std::string(StopRequestLine(*UpgradeStopCause())));
    }
  };

  const auto finish = [&](size_t index) {
    Worker &worker = workers[index];
    FleetPrinter &printer = printers[index];
    worker.output.join();
    worker.errors.join();
    const int status = worker.process->Wait();
    --active;
    printer.endedAt = std::chrono::system_clock::now();
    if (!printer.result) {
      // It ended without a result: a crash, or killed from outside.
      printer.outcome = FleetOutcome::kFailed;
      printer.reason = "worker_ended";
      if (printer.printerState.empty()) printer.printerState = StateByPhase(printer);
      printer.durationMs =
          static_cast<long long>(std::chrono::duration<double, std::milli>(Clock::now() - printer.started).count());
      const Message why = CliMessage("worker_ended", {{"status", std::to_string(status)}});
      printer.zh = why.zh, printer.en = why.en;
      view.OnPrinterNote(index, why);
    }
    record(printer);
  };

  while (next < printers.size() && active < jobs) startNext();
  while (active > 0 || (next < printers.size() && !stopForwarded)) {
    for (WorkerLine &line : queue.Take(kTick)) {
      // Its last error lines may come after its output's end: a worker is
      // finished once both pipes have ended.
      if (line.ended) {
        if (++workers[line.index].pipesEnded == 2) finish(line.index);
        continue;
      }
      if (line.error) {
        view.OnErrorLine(line.index, line.text);
        continue;
      }
      Json event = Json::parse(line.text, nullptr, false);
      if (event.is_discarded() || !event.is_object()) {
        view.OnErrorLine(line.index, PrintableText(line.text));
        continue;
      }
      TakeEvent(printers[line.index], event);
      view.OnEvent(line.index, std::move(event));
    }
    if (!stopForwarded && UpgradeStopCause()) {
      stopForwarded = true;
      for (size_t i = 0; i < workers.size(); ++i) {
        if (printers[i].outcome == FleetOutcome::kRunning && workers[i].process) {
          workers[i].stopSent = workers[i].process->WriteInput(std::string(StopRequestLine(*UpgradeStopCause())));
        }
      }
    }
    while (!stopForwarded && next < printers.size() && active < jobs) startNext();
    view.Tick();
  }

  // Those never started: nothing was sent to them.
  const std::optional<StopSignal> stop = UpgradeStopCause();
  for (; next < printers.size(); ++next) {
    FleetPrinter &printer = printers[next];
    const StopReport report = DescribeStop(*stop, UpgradeReach::kNothingSent);
    printer.outcome = FleetOutcome::kStopped;
    printer.reason = report.reason;
    printer.printerState = report.printerState;
    printer.zh = report.line.zh, printer.en = report.line.en;
    printer.startedAt = printer.endedAt = std::chrono::system_clock::now();
    view.OnPrinterNote(next, report.line);
    record(printer);
  }

  const double elapsedMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  std::vector<std::string> failedPorts;
  for (const FleetPrinter &printer : printers) {
    if (printer.outcome != FleetOutcome::kCompleted) failedPorts.push_back(printer.port);
  }
  const bool allCompleted = failedPorts.empty();
  view.End(Closing(printers, stop.has_value(), elapsedMs), allCompleted, static_cast<long long>(elapsedMs),
           failedPorts.empty() ? std::string() : RetryCommand(options, failedPorts));
  if (stop) {
    NoteStopEndedUpgrade();
    return DescribeStop(*stop, UpgradeReach::kNothingSent).exitStatus;
  }
  return allCompleted ? kExitOk : kExitFailed;
}

}  // namespace velloran::cli
