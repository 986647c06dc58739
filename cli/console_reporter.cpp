// Printing what an upgrade reports: text lines, the bar, JSON events.
#include "console_reporter.h"

#include <algorithm>

#include "exchange.h"
#include "printable_text.h"
#include "progress_band.h"
#include "upgrade_interruption.h"

namespace velloran::cli {
namespace {

constexpr auto kTickerPeriod = std::chrono::milliseconds(250);


Json Event(const char *name, UpgradePhase phase, const Message &message) {
  return MessageEvent(name, PhaseName(phase), message);
}

}  // namespace

ConsoleReporter::ConsoleReporter(std::ostream &out, std::ostream &err, OutputSettings settings)
    : out_(out), err_(err), settings_(settings), start_(std::chrono::steady_clock::now()) {}

ConsoleReporter::~ConsoleReporter() { StopTicker(); }

double ConsoleReporter::ElapsedMs() const {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
}

void ConsoleReporter::SetTarget(const std::string &target) {
  std::lock_guard lock(mutex_);
  target_ = target;
}

ConsoleReporter::Outcome ConsoleReporter::Result() const {
  std::lock_guard lock(mutex_);
  return outcome_;
}

void ConsoleReporter::Emit(Json event) {
  if (!target_.empty() && !event.contains("target")) event["target"] = target_;
  out_ << JsonLine(event) << "\n";
  out_.flush();
  CheckOutput();
}

void ConsoleReporter::EmitEvent(const char *name, const Message &message) {
  Json event = Event(name, phase_, message);
  AddProgress(event, ElapsedMs());
  Emit(std::move(event));
}

void ConsoleReporter::CheckOutput() {
  if (!out_) StopUpgrade(StopSignal::kBrokenPipe);
}

void ConsoleReporter::AddProgress(Json &event, double elapsedMs) const {
  event["elapsed_ms"] = static_cast<long long>(elapsedMs);
  if (!port_.empty()) event["port"] = port_;
  if (!progress_) return;
  if (const auto baud = progress_->Baud()) event["baud"] = *baud;
  if (!imageKnown_) return;  // no packets to count, no time to tell
  if (progress_->InDataPhase()) {
    event["packet"] = progress_->Packet();
    event["bytes_sent"] = progress_->BytesSent();
  }
  event["packets"] = progress_->Packets();
  event["bytes_total"] = progress_->BytesTotal();
  if (!resultReported_) event["eta_ms"] = static_cast<long long>(progress_->RemainingMs(elapsedMs));
}

BarLook ConsoleReporter::LookNow() const {
  BarLook look = settings_.look;
  const int columns = settings_.terminalColumns ? settings_.terminalColumns() : 0;
  if (columns > 0) look.columns = columns;
  return look;
}

void ConsoleReporter::ClearBar() {
  if (!barShown_) return;
  // As wide as the terminal is now: wider would wrap and leave a line.
  out_ << "\r" << std::string(static_cast<size_t>(std::max(1, LookNow().columns - 1)), ' ') << "\r";
  barShown_ = false;
}

void ConsoleReporter::DrawBar() {
  if (!settings_.bar || !progress_ || resultReported_) return;
  const double elapsed = ElapsedMs();
  const Language language = settings_.language;
  const std::string left =
      CliMessage("time_left", {{"duration", DurationText(progress_->RemainingMs(elapsed))}}).In(language);
  out_ << "\r"
       << DrawProgressBar(PaddedToWidth(PhaseMessage(phase_).In(language), WidestPhaseName(language)), progress_->Fraction(elapsed), band_, left,
                          LookNow());
  out_.flush();
  CheckOutput();
  barShown_ = true;
}

void ConsoleReporter::PrintLine(const std::string &line) {
  ClearBar();
  out_ << line << "\n";
  DrawBar();
  out_.flush();
  CheckOutput();
}

void ConsoleReporter::StartTicker() {
  if (!settings_.bar || ticker_.joinable()) return;
  // The time left goes down during the long pauses too.
  ticker_ = std::thread([this] {
    std::unique_lock lock(mutex_);
    while (!tickerWake_.wait_for(lock, kTickerPeriod, [this] { return tickerStop_; })) DrawBar();
  });
}

void ConsoleReporter::StopTicker() {
  {
    std::lock_guard lock(mutex_);
    tickerStop_ = true;
  }
  tickerWake_.notify_all();
  if (ticker_.joinable()) ticker_.join();
}

void ConsoleReporter::BeginUpgrade(Link link, const std::string &port, const std::optional<ImageFacts> &image) {
  std::lock_guard lock(mutex_);
  begun_ = true;
  link_ = link;
  port_ = port;
  progress_ = std::make_unique<UpgradeProgress>(link, image ? image->size : 0);
  imageKnown_ = image.has_value();
  if (!image) return;
  const ExpectedDuration duration = ExpectedUpgradeDuration(link, image->size);
  const Message summary = CliMessage("image_summary", {{"path", PrintableText(image->path)},
                                                       {"size", std::to_string(image->size)},
                                                       {"version", image->VersionText()},
                                                       {"packets", std::to_string(image->packets)},
                                                       {"packet_size", std::to_string(image->packetSize)}});
  const Message expected =
      link == Link::kSerial
          ? CliMessage("expected_duration_serial",
                       {{"low", DurationText(duration.lowMs)}, {"high", DurationText(duration.highMs)}})
          : CliMessage(link == Link::kLpt ? "expected_duration_lpt" : "expected_duration",
                       {{"duration", DurationText(duration.lowMs)}});
  if (settings_.json) {
    Json event = Event("summary", UpgradePhase::kPrepare, summary);
    event["link"] = LinkName(link);
    event["image"] = JsonText(image->path);
    event["size"] = image->size;
    event["version"] = image->VersionText();
    event["sha256"] = image->sha256;
    event["packet_size"] = image->packetSize;
    event["expected_ms"] = static_cast<long long>(duration.lowMs);
    event["expected_max_ms"] = static_cast<long long>(duration.highMs);
    AddProgress(event, ElapsedMs());
    Emit(event);
    return;
  }
  if (settings_.verbosity == Verbosity::kQuiet) return;
  PrintLine(summary.In(settings_.language));
  PrintLine(CliMessage("image_sha256", {{"sha256", image->sha256}}).In(settings_.language));
  PrintLine(expected.In(settings_.language));
}

void ConsoleReporter::OnUpgradeStatus(std::string *text, int code, const StatusMeaning &meaning) {
  const std::unique_ptr<std::string> line(text);  // ownership passes to the window
  std::lock_guard lock(mutex_);
  const double elapsed = ElapsedMs();
  if (!progress_) progress_ = std::make_unique<UpgradeProgress>(link_, 0);
  // The boot reply has just set the packet size that the data frames use.
  if (meaning.status == StatusId::kBootEntered) progress_->SetPacketSize(g_nPacketSize);
  const UpgradePhase phase = progress_->OnStatus(meaning, elapsed);
  phase_ = progress_->Phase();
  const Message message{meaning.id, *line, meaning.english};
  if (meaning.kind == StatusKind::kFailure && !firstFailure_) firstFailure_ = message;
  if (const std::optional<BarState> bar = BarStateForCode(code)) band_ = bar->band;

  if (settings_.json) {
    Json event = Event("status", phase, message);
    event["code"] = code;
    AddProgress(event, elapsed);
    Emit(event);
    return;
  }
  StartTicker();
  const Language language = settings_.language;
  if (settings_.verbosity == Verbosity::kVerbose) {
    PrintLine(VerboseLineStart(elapsed, code) + message.In(language));
  } else if (meaning.kind == StatusKind::kFailure) {
    PrintLine(message.In(language));
  } else if (settings_.verbosity == Verbosity::kNormal && !settings_.bar && meaning.status == StatusId::kBaudFoundFormat) {
    PrintLine(message.In(language));  // a log keeps the rate found
  } else if (settings_.verbosity == Verbosity::kNormal && !settings_.bar && phase != namedPhase_) {
    // Without a bar, the start of each phase is the progress shown; the data
    // phase with its packet count.
    namedPhase_ = phase;
    const Message named = phase == UpgradePhase::kData && imageKnown_
                              ? CliMessage("phase_data_packets", {{"packets", std::to_string(progress_->Packets())},
                                                                  {"packet_size", std::to_string(progress_->PacketSize())}})
                              : PhaseMessage(phase);
    PrintLine(named.In(language) + "...");
  } else {
    DrawBar();
  }
}

void ConsoleReporter::ShowMessageBox(const std::string &text, const StatusMeaning &meaning) {
  std::lock_guard lock(mutex_);
  // A message box speaks English already; in Chinese it stays as it is.
  const Message message{meaning.id, text, meaning.english};
  if (meaning.kind == StatusKind::kFailure && !firstFailure_) firstFailure_ = message;
  if (settings_.json) return EmitEvent("message", message);
  if (settings_.verbosity != Verbosity::kQuiet || meaning.kind == StatusKind::kFailure) {
    PrintLine(">>> " + message.In(settings_.language));
  }
}

void ConsoleReporter::ReportNote(const Message &message) {
  std::lock_guard lock(mutex_);
  if (settings_.json) {
    EmitEvent("note", message);
  } else if (settings_.verbosity != Verbosity::kQuiet) {
    PrintLine(message.In(settings_.language));
  }
}

void ConsoleReporter::ReportError(const Message &message) {
  std::lock_guard lock(mutex_);
  if (!firstFailure_) firstFailure_ = message;
  if (settings_.json) return EmitEvent("error", message);
  ClearBar();
  out_.flush();
  err_ << "velloran-cli: " << message.In(settings_.language) << "\n";
  err_.flush();
  DrawBar();
}

void ConsoleReporter::ReportResult(bool ok, std::string_view reasonId) {
  StopTicker();
  std::lock_guard lock(mutex_);
  if (resultReported_.exchange(true)) return;
  const double elapsed = ElapsedMs();
  const uint64_t sent = progress_ ? progress_->BytesSent() : 0;
  const uint64_t total = progress_ ? progress_->BytesTotal() : 0;
  Message reason = reasonId.empty() ? firstFailure_.value_or(CliMessage("upgrade_failed_unreported"))
                                    : (firstFailure_ && firstFailure_->id == reasonId ? *firstFailure_
                                                                                    : CliMessage(reasonId));
  outcome_ = {ok, ok ? std::string() : reason.id, sent, total, static_cast<long long>(elapsed)};
  const Language language = settings_.language;
  Message closing;
  if (ok) {
    closing = CliMessage(link_ == Link::kLpt ? "lpt_frames_written" : "upgrade_completed",
                         {{"bytes", std::to_string(sent)}, {"seconds", SecondsText(elapsed)}});
  } else if (!begun_) {
    closing = reason;
  } else if (phase_ == UpgradePhase::kPrepare) {
    closing = CliMessage("upgrade_failed_before_start", {{"reason", reason}});
  } else {
    closing = CliMessage("upgrade_failed", {{"seconds", SecondsText(elapsed)},
                                            {"reason", reason},
                                            {"sent", std::to_string(sent)},
                                            {"total", std::to_string(total)}});
  }
  // A failure says what state it left the printer in (a stop has said it).
  const bool stop = !printerState_.empty();
  const UpgradeReach reach = ReachedSoFar();
  const uint32_t packet = progress_ && progress_->InDataPhase() ? progress_->Packet() : 0;
  if (settings_.json) {
    Json event = Event("result", phase_, closing);
    event["ok"] = ok;
    event["reason"] = ok ? Json(nullptr) : Json(reason.id);
    AddProgress(event, elapsed);
    event["bytes_sent"] = sent;
    event["bytes_total"] = total;
    event["duration_ms"] = static_cast<long long>(elapsed);
    if (!ok) {
      event["printer"] = stop ? printerState_ : std::string(PrinterStateName(reach));
      event["packet"] = packet;
    }
    Emit(event);
    return;
  }
  ClearBar();
  // An error before the upgrade began has been said already.
  if (begun_) out_ << closing.In(language) << "\n";
  // After a failure once the printer was contacted: its state and the next step.
  if (!ok && !stop && begun_ && phase_ != UpgradePhase::kPrepare)
    out_ << FailedPrinterState(reach, port_, packet).In(language) << "\n";
  out_.flush();
}

void ConsoleReporter::ReportStopped(const Message &state, std::string_view reasonId, std::string_view printerState) {
  {
    std::lock_guard lock(mutex_);
    printerState_ = printerState;
    if (settings_.json) {
      Json event = Event("stopped", phase_, state);
      event["printer"] = printerState_;
      AddProgress(event, ElapsedMs());
      Emit(event);
    } else {
      ClearBar();
      out_.flush();
    }
  }
  err_ << "velloran-cli: " << state.In(settings_.language) << "\n";
  err_.flush();
  ReportResult(false, reasonId);
}

}  // namespace velloran::cli
