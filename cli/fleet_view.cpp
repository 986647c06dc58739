// Showing a fleet's progress and its end.
#include "fleet_view.h"

#include <algorithm>

#include "narrow_text.h"
#include "printable_text.h"
#include "progress_bar.h"
#include "upgrade_interruption.h"

namespace velloran::cli {
namespace {

bool NeedsQuotes(const std::string &arg) {
  if (arg.empty()) return true;
  return std::any_of(arg.begin(), arg.end(), [](unsigned char c) {
    return !(std::isalnum(c) || std::string_view("_./:=@%+,-").find(static_cast<char>(c)) != std::string_view::npos);
  });
}

std::string Quoted(const std::string &arg) {
  if (!NeedsQuotes(arg)) return arg;
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// The result's word: "fleet_completed_one" and so on.
Message OutcomeMessage(FleetOutcome outcome) {
  if (outcome == FleetOutcome::kPending || outcome == FleetOutcome::kRunning) {
    return CliMessage(std::string("fleet_") + OutcomeName(outcome));
  }
  return CliMessage(std::string("fleet_") + OutcomeName(outcome) + "_one");
}

}  // namespace

FleetView::FleetView(std::ostream &out, std::ostream &err, const OutputSettings &settings, Link link,
                     const std::vector<FleetPrinter> &printers)
    : out_(out), err_(err), settings_(settings), link_(link), printers_(printers),
      namedPhase_(printers.size(), UpgradePhase::kPrepare),
      stoppedSeen_(printers.size(), false) {
  for (const FleetPrinter &printer : printers_) {
    widestId_ = std::max(widestId_, static_cast<size_t>(NarrowTextWidth(printer.target)));
  }
}

std::string FleetView::Prefix(size_t index) const { return printers_[index].target + ": "; }

void FleetView::ClearBars() {
  if (barLines_ == 0) return;
  // Back to the first bar's line, and the screen below it cleared.
  if (barLines_ > 1) out_ << "\x1b[" << (barLines_ - 1) << "F";
  out_ << "\r\x1b[J";
  barLines_ = 0;
}

void FleetView::DrawBars() {
  if (!settings_.bar) return;
  const auto now = std::chrono::steady_clock::now();
  const Language language = settings_.language;
  const int phaseWidth = WidestPhaseName(language);
  double fractions = 0, leftMs = 0;
  size_t done = 0;
  std::string block;
  for (const FleetPrinter &printer : printers_) {
    std::string label = PaddedToWidth(printer.target, static_cast<int>(widestId_)) + " ";
    std::string left;
    if (printer.Finished()) {
      ++done;
      label += PaddedToWidth(OutcomeMessage(printer.outcome).In(language), phaseWidth);
    } else {
      label += PaddedToWidth(PhaseMessage(printer.phase).In(language), phaseWidth);
      left = CliMessage("time_left", {{"duration", DurationText(printer.RemainingMs(now))}}).In(language);
    }
    fractions += printer.Fraction(now);
    leftMs = std::max(leftMs, printer.RemainingMs(now));
    const int band = printer.outcome == FleetOutcome::kFailed ? 2 : printer.band;
    block += "\r" + DrawProgressBar(label, printer.Fraction(now), band, left, settings_.look) + "\n";
  }
  const std::string total =
      PaddedToWidth(CliMessage("fleet_total", {{"done", std::to_string(done)}, {"count", std::to_string(printers_.size())}})
                        .In(language),
                    static_cast<int>(widestId_) + 1 + phaseWidth);
  const std::string left = CliMessage("time_left", {{"duration", DurationText(leftMs)}}).In(language);
  block += "\r" + DrawProgressBar(total, printers_.empty() ? 0 : fractions / printers_.size(), -1, left, settings_.look);
  out_ << block;
  out_.flush();
  barLines_ = static_cast<int>(printers_.size()) + 1;
}

void FleetView::PrintLine(const std::string &line, bool toErr) {
  ClearBars();
  out_.flush();
  (toErr ? err_ : out_) << line << "\n";
  (toErr ? err_ : out_).flush();
  DrawBars();
  CheckOutput();
}

void FleetView::CheckOutput() {
  // An output that can no longer be written stops every upgrade.
  if (!out_) StopUpgrade(StopSignal::kBrokenPipe);
}

void FleetView::Tick() {
  if (!settings_.bar) return;
  ClearBars();
  DrawBars();
}

void FleetView::OnEvent(size_t index, Json event) {
  const FleetPrinter &printer = printers_[index];
  if (settings_.json) {
    if (!event.contains("target")) event["target"] = printer.target;
    out_ << JsonLine(event) << "\n";
    out_.flush();
    CheckOutput();
    return;
  }
  const std::string kind = event.value("event", "");
  const Language language = settings_.language;
  const std::string text = platform::Utf8ToNarrowText(
      language == Language::kChinese ? event.value("text", "") : event.value("en", ""));
  const StatusTextRow *row = StatusRowWithId(event.value("id", ""));
  const bool failure = row != nullptr && row->kind == StatusKind::kFailure;
  const Verbosity verbosity = settings_.verbosity;
  if (kind == "summary") return;  // the supervisor's own summary came first
  if (kind == "status") {
    if (verbosity == Verbosity::kVerbose) {
      PrintLine(Prefix(index) + VerboseLineStart(event.value("elapsed_ms", 0), event.value("code", 0)) + text);
    } else if (failure) {
      PrintLine(Prefix(index) + text);
    } else if (verbosity == Verbosity::kNormal && !settings_.bar && printer.phase != namedPhase_[index]) {
      namedPhase_[index] = printer.phase;
      PrintLine(Prefix(index) + PhaseMessage(printer.phase).In(language) + "...");
    } else {
      Tick();
    }
  } else if (kind == "message") {
    if (verbosity != Verbosity::kQuiet || failure) PrintLine(Prefix(index) + ">>> " + text);
  } else if (kind == "note") {
    if (verbosity != Verbosity::kQuiet) PrintLine(Prefix(index) + text);
  } else if (kind == "error") {
    PrintLine("velloran-cli: " + Prefix(index) + text, true);
  } else if (kind == "result") {
    PrintLine(Prefix(index) + text);
    // A failure once the printer was contacted: its state and the next step
    // (a stop's sentence has come on the worker's error output instead).
    const std::optional<UpgradeReach> reach = ReachNamed(event.value("printer", ""));
    if (!event.value("ok", false) && !stoppedSeen_[index] && reach && event.value("phase", "") != "prepare") {
      const auto packet = static_cast<uint32_t>(event.value("packet", 0u));
      PrintLine(Prefix(index) + FailedPrinterState(*reach, printer.port, packet).In(language));
    }
  } else if (kind == "stopped") {
    stoppedSeen_[index] = true;
  }
}

void FleetView::OnErrorLine(size_t index, const std::string &line) {
  if (line.empty()) return;
  PrintLine(Prefix(index) + line, true);
}

void FleetView::OnPrinterNote(size_t index, const Message &message) {
  const FleetPrinter &printer = printers_[index];
  if (settings_.json) {
    Json event = MessageEvent("error", PhaseName(printer.phase), message);
    event["elapsed_ms"] = static_cast<long long>(printer.elapsedMs);
    event["target"] = JsonText(printer.target);
    out_ << JsonLine(event) << "\n";
    out_.flush();
    CheckOutput();
    return;
  }
  PrintLine("velloran-cli: " + Prefix(index) + message.In(settings_.language), true);
}

void FleetView::End(const Message &closing, bool ok, long long durationMs, const std::string &retryCommand) {
  const Language language = settings_.language;
  if (settings_.json) {
    Json event = MessageEvent("fleet_result", "finish", closing);
    event["ok"] = ok;
    event["elapsed_ms"] = durationMs;
    event["duration_ms"] = durationMs;
    Json printers = Json::array();
    for (const FleetPrinter &printer : printers_) {
      Json entry;
      entry["target"] = JsonText(printer.target);
      entry["link"] = LinkName(link_);
      entry["port"] = JsonText(printer.port);
      entry["node"] = JsonText(printer.node);
      entry["ok"] = printer.outcome == FleetOutcome::kCompleted;
      entry["result"] = OutcomeName(printer.outcome);
      entry["reason"] = printer.reason.empty() ? Json(nullptr) : Json(printer.reason);
      entry["printer"] = printer.printerState.empty() ? Json(nullptr) : Json(printer.printerState);
      entry["packet"] = printer.packet;
      entry["bytes_sent"] = printer.bytesSent;
      entry["bytes_total"] = printer.bytesTotal;
      entry["duration_ms"] = printer.durationMs;
      entry["text"] = JsonText(printer.zh);
      entry["en"] = JsonText(printer.en);
      printers.push_back(entry);
    }
    event["printers"] = printers;
    if (!retryCommand.empty()) event["retry"] = JsonText(retryCommand);
    out_ << JsonLine(event) << "\n";
    out_.flush();
    CheckOutput();
    return;
  }
  ClearBars();
  // The table: id, result, bytes, time, reason.
  // The heading's cells are parted by '|'.
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  const Message heading = CliMessage("fleet_table_heading");
  for (const char c : heading.In(language)) {
    if (c == '|') rows[0].emplace_back();
    else rows[0].back() += c;
  }
  for (const FleetPrinter &printer : printers_) {
    rows.push_back({printer.target, OutcomeMessage(printer.outcome).In(language),
                    std::to_string(printer.bytesSent) + "/" + std::to_string(printer.bytesTotal),
                    SecondsText(static_cast<double>(printer.durationMs)) + " s",
                    printer.reason.empty() ? "" : printer.reason});
  }
  std::vector<size_t> widths(rows[0].size(), 0);
  for (const auto &row : rows) {
    for (size_t i = 0; i < row.size() && i < widths.size(); ++i) {
      widths[i] = std::max(widths[i], static_cast<size_t>(NarrowTextWidth(row[i])));
    }
  }
  out_ << "\n";
  for (const auto &row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) line += i + 1 < row.size() ? PaddedToWidth(row[i], static_cast<int>(widths[i] + 2)) : row[i];
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out_ << line << "\n";
  }
  if (!retryCommand.empty()) {
    out_ << CliMessage("fleet_retry").In(language) << "\n    " << retryCommand << "\n";
  }
  out_ << closing.In(language) << "\n";
  out_.flush();
}

std::string RetryCommand(const CliOptions &options, const std::vector<std::string> &ports) {
  std::vector<std::string> args = {"velloran-cli", "upgrade", "--link", LinkName(options.link)};
  for (const std::string &port : ports) args.insert(args.end(), {"--port", port});
  if (options.jobs != 0) args.insert(args.end(), {"--jobs", std::to_string(options.jobs)});
  if (options.baud != 0) args.insert(args.end(), {"--baud", std::to_string(options.baud)});
  if (options.record) args.insert(args.end(), {"--record", *options.record});
  if (options.json) args.push_back("--json");
  args.push_back(options.image);
  std::string command;
  for (const std::string &arg : args) command += (command.empty() ? "" : " ") + Quoted(PrintableText(arg));
  return command;
}

}  // namespace velloran::cli
