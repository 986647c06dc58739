// Several printers at once: one worker process per printer (this program
// again, with the one port, --json and --as-target), because the procedures
// keep process-wide state. The supervisor reads the workers' JSON events,
// shows them (fleet_view.h), stops them at a frame boundary on Ctrl-C, and
// ends with a summary. A worker's failure, unplug, silence or crash ends
// only its own printer's upgrade.
#pragma once

#include <ostream>

#include "commands.h"

namespace velloran::cli {

// Exit status: 0 every printer completed, 1 any failed, 2 a bad command
// line, 128 + the signal's number after a stop.
int RunFleet(const CliOptions &options, std::ostream &out, std::ostream &err, const OutputSettings &settings);

}  // namespace velloran::cli
