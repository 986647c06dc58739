// The worker's side of the stop requests.
#include "fleet_worker.h"

#include <cstdio>
#include <string>
#include <thread>

namespace velloran::cli {

std::string_view StopRequestLine(StopSignal cause) {
  switch (cause) {
    case StopSignal::kInterrupt: return "stop interrupt\n";
    case StopSignal::kHangUp: return "stop hangup\n";
    case StopSignal::kBrokenPipe: return "stop output\n";
    case StopSignal::kTerminate: break;
  }
  return "stop terminate\n";
}

std::optional<StopSignal> StopRequestCause(std::string_view line) {
  for (StopSignal cause : {StopSignal::kInterrupt, StopSignal::kTerminate, StopSignal::kHangUp, StopSignal::kBrokenPipe}) {
    std::string_view expected = StopRequestLine(cause);
    expected.remove_suffix(1);
    if (line == expected) return cause;
  }
  return std::nullopt;
}

void ListenForStopRequests() {
  // Detached: it may be blocked in a read when the process ends.
  std::thread([] {
    char line[64];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
      std::string_view text(line);
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
      if (const auto cause = StopRequestCause(text)) StopUpgrade(*cause);
    }
    StopUpgrade(StopSignal::kTerminate);
  }).detach();
}

}  // namespace velloran::cli
