// Hands a reporter what a procedure reports, as SendUpgradeStatus does.
#pragma once

#include <string>

#include "console_reporter.h"
#include "status_meaning.h"

namespace velloran::cli::test {

inline void Feed(ConsoleReporter &reporter, const StatusReport &report, int code) {
  reporter.OnUpgradeStatus(new std::string(StatusText(report)), code, MeaningOf(report));
}

inline void FeedBox(ConsoleReporter &reporter, const StatusReport &report) {
  reporter.ShowMessageBox(StatusText(report), MeaningOf(report));
}

}  // namespace velloran::cli::test
