// The commands of velloran-cli. Each returns the exit status: 0 success
// (for upgrade: the upgrade completed), 1 failure, 2 bad usage.
#pragma once

#include <ostream>

#include "cli_options.h"

namespace velloran::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Runs the procedure of the chosen link, printing what it reports.
// barWanted: stdout is a terminal, so text output draws a progress bar.
int RunUpgrade(const CliOptions &options, std::ostream &out, std::ostream &err, bool barWanted);

// Lists the COM ports present, free and busy.
int RunPorts(std::ostream &out);

// Size, version bytes, packets and upgrade times of an image.
int RunInfo(const CliOptions &options, std::ostream &out, std::ostream &err);

// Parses the arguments and runs the command.
int RunCli(int argc, char **argv, std::ostream &out, std::ostream &err, bool outIsTerminal);

}  // namespace velloran::cli
