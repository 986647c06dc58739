// The command-line tool as the procedures' main window: what they report is
// printed as it comes, as text in the reader's language (with one progress
// bar on a terminal) or as one JSON object per line (docs/cli-json.md).
//
// Besides the procedures' lines, the tool reports through it what it finds
// itself: the image summary, notes and errors, and at the end the result.
// ReportResult ends the output; only its first call counts, so whoever
// stops an upgrade (an interruption, say) may call it with its own reason
// before the normal end does.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>

#include "cli_options.h"
#include "image_facts.h"
#include "json_output.h"
#include "messages.h"
#include "progress_bar.h"
#include "status_meaning.h"
#include "status_report.h"
#include "upgrade_progress.h"

namespace velloran::cli {

struct OutputSettings {
  bool json = false;
  bool bar = false;  // draw the progress bar (the output is a terminal)
  BarLook look;
  // The terminal's width now (0: unknown), asked before each drawing, so that
  // a resized terminal gets a bar of its new width; nullptr: look.columns.
  int (*terminalColumns)() = nullptr;
  Language language = Language::kEnglish;
  Verbosity verbosity = Verbosity::kNormal;
};

class ConsoleReporter : public UpgradeWindow {
 public:
  ConsoleReporter(std::ostream &out, std::ostream &err, OutputSettings settings);
  ~ConsoleReporter() override;

  // The upgrade about to start: the link, its port ("" where none is chosen)
  // and the image's facts (nullopt when it cannot be loaded: the procedure
  // reports why). Prints the summary before the first frame.
  void BeginUpgrade(Link link, const std::string &port, const std::optional<ImageFacts> &image);

  void OnUpgradeStatus(std::string *text, int code, const StatusMeaning &meaning) override;
  void ShowMessageBox(const std::string &text, const StatusMeaning &meaning) override;

  // A line of information (not in quiet mode).
  void ReportNote(const Message &message);
  // An error found by the tool itself (a bad command line, a port that
  // cannot be used, an interruption).
  void ReportError(const Message &message);
  // The end: whether the upgrade completed and, on failure, the reason's id
  // (empty: the first failure reported). Only the first call counts.
  void ReportResult(bool ok, std::string_view reasonId = {});
  // The end of an upgrade that a stop ended: the sentence on the printer's
  // state goes to the error output (which outlives a closed output; with
  // --json also as a "stopped" event), then the result with the reason and
  // the printer's state (unchanged, boot_mode, flash_written).
  void ReportStopped(const Message &state, std::string_view reasonId, std::string_view printerState);

  // The printer's id: every event from now on carries it as "target".
  void SetTarget(const std::string &target);

  // How the run ended, once ReportResult has been called.
  struct Outcome {
    bool ok = false;
    std::string reason;  // empty when ok
    uint64_t bytesSent = 0;
    uint64_t bytesTotal = 0;
    long long durationMs = 0;
  };
  Outcome Result() const;

 private:
  double ElapsedMs() const;
  void PrintLine(const std::string &line);  // above the bar
  void DrawBar();                           // with the mutex held
  void ClearBar();
  BarLook LookNow() const;  // settings_.look at the terminal's width now
  void StartTicker();
  void StopTicker();
  // The progress members of a JSON event, where they apply.
  void AddProgress(Json &event, double elapsedMs) const;
  void Emit(Json event);
  // An event of the current phase with the progress so far.
  void EmitEvent(const char *name, const Message &message);
  // After a write: an output that can no longer be written (a closed pipe, a
  // terminal gone) stops the upgrade at its next frame boundary.
  void CheckOutput();

  std::ostream &out_;
  std::ostream &err_;
  const OutputSettings settings_;
  const std::chrono::steady_clock::time_point start_;
  mutable std::mutex mutex_;
  std::unique_ptr<UpgradeProgress> progress_;
  Link link_ = Link::kUsb;
  std::string port_;
  std::string target_;
  Outcome outcome_;
  bool begun_ = false;
  bool imageKnown_ = false;
  int band_ = -1;
  UpgradePhase namedPhase_ = UpgradePhase::kPrepare;  // the last phase named on a line
  bool barShown_ = false;
  std::optional<Message> firstFailure_;  // the reason of a failed upgrade
  std::string printerState_;             // after a stop: the printer's state
  std::atomic<UpgradePhase> phase_{UpgradePhase::kPrepare};
  std::atomic<bool> resultReported_{false};
  std::thread ticker_;
  std::condition_variable tickerWake_;
  bool tickerStop_ = false;
};

}  // namespace velloran::cli
