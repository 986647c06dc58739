// The commands of velloran-cli. Each returns the exit status: 0 success
// (for upgrade: the upgrade completed), 1 failure, 2 bad usage; an upgrade
// that a signal stopped returns 128 + the signal's number.
#pragma once

#include <ostream>

#include "cli_options.h"
#include "console_reporter.h"

namespace velloran::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Where the output goes: a terminal (how wide), or a file or pipe.
struct OutputTerminal {
  bool isTerminal = false;
  int columns = 0;  // 0: unknown
  int (*columnsNow)() = nullptr;  // the width when asked again (the terminal may be resized)
};

// How the output looks: the options, the terminal and the environment
// (the locale, NO_COLOR, TERM).
OutputSettings SettingsFor(const CliOptions &options, const OutputTerminal &terminal);

// Runs the procedure of the chosen link, printing what it reports.
int RunUpgrade(const CliOptions &options, ConsoleReporter &reporter);

// --check: everything up to the first frame for each printer, nothing sent.
int RunCheck(const CliOptions &options, ConsoleReporter &reporter, std::ostream &out, const OutputSettings &settings);

// Lists the serial ports, parallel ports and USB printers present, free and
// busy (--json: one JSON object).
int RunPorts(const CliOptions &options, std::ostream &out);

// Size, version bytes, packets and upgrade times of an image.
int RunInfo(const CliOptions &options, std::ostream &out, std::ostream &err);

// Parses the arguments and runs the command.
int RunCli(int argc, char **argv, std::ostream &out, std::ostream &err, const OutputTerminal &terminal);

}  // namespace velloran::cli
