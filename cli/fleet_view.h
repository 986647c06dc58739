// What a fleet's supervisor shows: with --json the workers' events
// forwarded with their "target" and a closing fleet_result; on a terminal a
// bar per printer (id, phase, share, time left) and a total line, with the
// printers' lines above them; otherwise each printer's lines prefixed with
// its id. At the end a table (id, result, bytes, time, reason) and, when
// some failed, the command that upgrades only those.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli_options.h"
#include "console_reporter.h"
#include "fleet_printer.h"

namespace velloran::cli {

class FleetView {
 public:
  FleetView(std::ostream &out, std::ostream &err, const OutputSettings &settings, Link link,
            const std::vector<FleetPrinter> &printers);

  // A worker's event (printer index), after the printer has taken it in.
  void OnEvent(size_t index, Json event);
  // A line of a worker's error output.
  void OnErrorLine(size_t index, const std::string &line);
  // A line of the supervisor itself about one printer (it ended without a
  // result, it was never started).
  void OnPrinterNote(size_t index, const Message &message);
  // Redraws the bars (on a terminal).
  void Tick();
  // The end: the table, the command for the failed ones, the closing line
  // (or the fleet_result event).
  void End(const Message &closing, bool ok, long long durationMs, const std::string &retryCommand);

 private:
  void PrintLine(const std::string &line, bool toErr = false);
  void ClearBars();
  void DrawBars();
  void CheckOutput();
  std::string Prefix(size_t index) const;

  std::ostream &out_;
  std::ostream &err_;
  const OutputSettings settings_;
  const Link link_;
  const std::vector<FleetPrinter> &printers_;
  std::vector<UpgradePhase> namedPhase_;
  std::vector<bool> stoppedSeen_;  // its worker said it was stopped
  int barLines_ = 0;
  size_t widestId_ = 0;
};

// The command line that upgrades only the given ports, with the options
// that shape the upgrade kept (program name velloran-cli; arguments quoted
// for a POSIX shell where they need it).
std::string RetryCommand(const CliOptions &options, const std::vector<std::string> &ports);

}  // namespace velloran::cli
