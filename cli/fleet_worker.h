// A fleet's worker process: one printer's upgrade under a supervising
// velloran-cli. The supervisor asks for a stop through the worker's
// standard input, never by a signal (the worker runs in a process group of
// its own, so that one Ctrl-C does not reach it twice).
#pragma once

#include <optional>
#include <string_view>

#include "upgrade_interruption.h"

namespace velloran::cli {

// The line the supervisor writes to ask for a stop, and the cause it means.
std::string_view StopRequestLine(StopSignal cause);
std::optional<StopSignal> StopRequestCause(std::string_view line);

// Reads standard input on a thread of its own: each stop line stops the
// upgrade with its cause; the input's end (the supervisor is gone) stops it
// as a termination does.
void ListenForStopRequests();

}  // namespace velloran::cli
