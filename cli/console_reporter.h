// The command-line tool as the procedures' main window: each status line and
// message box is printed as it comes, as text (with a progress bar on a
// terminal) or as one JSON object per line.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include "status_report.h"

namespace velloran::cli {

enum class OutputStyle { kText, kTextWithBar, kJson };

class ConsoleReporter : public UpgradeWindow {
 public:
  ConsoleReporter(std::ostream &out, OutputStyle style);

  void OnUpgradeStatus(std::string *text, int code) override;
  void ShowMessageBox(const std::string &text) override;
  // The final line: whether the upgrade completed.
  void ReportResult(bool ok);

  // The bar for a progress code: its colour band (0 blue, 1 green, 2 red)
  // and position 0 … 100; band -1 leaves the bar as it was.
  struct BarState {
    int band = -1;
    int position = 0;
  };
  static BarState BarFor(int code);
  // The bar drawn 40 cells wide.
  static std::string DrawBar(const BarState &bar);

 private:
  long long ElapsedMs() const;
  void ClearBar();
  void RedrawBar();

  std::ostream &out_;
  const OutputStyle style_;
  const std::chrono::steady_clock::time_point start_;
  BarState bar_;
  bool barShown_ = false;
};

}  // namespace velloran::cli
